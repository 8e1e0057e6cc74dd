// What the engine plays through the sound server, read back from the null sink's monitor.

#include "SoundServerTest.h"

#include "AudioPlayer.h"
#include "SoundEffect.h"

#include "foundation/Bundle.h"

using testsupport::readCAF;

namespace {

class Finished : public SoundEffect::Delegate {
public:
    void soundEffectDidFinishPlaying(SoundEffect*) override { ++count; }
    int count { 0 };
};

// Where expected stands in recorded as one unbroken run: the index, or none.
std::optional<std::size_t> findRun(const std::vector<std::int16_t>& recorded, const std::vector<std::int16_t>& expected)
{
    auto found = std::search(recorded.begin(), recorded.end(), expected.begin(), expected.end());
    if (found == recorded.end() || expected.empty())
        return std::nullopt;
    return static_cast<std::size_t>(found - recorded.begin());
}

// The sound from its first to its last sample that is not zero.
std::vector<std::int16_t> trimmed(const std::vector<std::int16_t>& samples)
{
    auto first = std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
    auto last = std::find_if(samples.rbegin(), samples.rend(), [](std::int16_t s) { return s != 0; }).base();
    return first < last ? std::vector<std::int16_t>(first, last) : std::vector<std::int16_t> {};
}

using PlaybackTest = SoundServerTest;

} // namespace

TEST_P(PlaybackTest, TheSoundEffectsReachTheSinkWholeAsEventsOfTheApplication)
{
    for (const char* name : { "beep", "save", "crumple" }) {
        SCOPED_TRACE(name);
        auto path = foundation::Bundle::main().pathForResource(name, "caf");
        auto sound = SoundEffect::soundEffectWithContentsOfFile(path);
        ASSERT_NE(sound, nullptr);
        auto delegate = std::make_shared<Finished>();
        sound->setDelegate(delegate);
        Server::SinkRecording sink(server(), "speaker");
        ASSERT_TRUE(sink.started());
        sound->play();
        // The stream's properties while it plays (the sounds last a third of a second or more).
        auto streams = ourStreams(server().sinkInputs());
        ASSERT_TRUE(runUntil([&] { return delegate->count == 1; }, 10.0));
        runFor(0.1);
        sink.stop();
        auto expected = trimmed(readCAF(*path)->samples);
        auto at = findRun(sink.samples(), expected);
        EXPECT_TRUE(at.has_value()) << "every sample, with no gap, reached the sink before the completion";
        ASSERT_EQ(streams.size(), 1u);
        EXPECT_EQ(streams[0]["application.name"], "Parlivo");
        EXPECT_EQ(streams[0]["application.icon_name"], kApplicationID);
        EXPECT_EQ(streams[0]["media.role"], "event");
    }
    EXPECT_TRUE(interruptions().empty());
}

TEST_P(PlaybackTest, AMemoReachesTheSinkWholeAcrossAPauseAndItsPositionHoldsWhilePaused)
{
    foundation::LogCapture capture(true);
    const auto sound = nonZeroSamples(2 * 22050);
    writeRecording(m_name, sound);
    Server::SinkRecording sink(server(), "speaker");
    ASSERT_TRUE(sink.started());
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return player.position() > 0.5; }, 5.0));
    auto streams = ourStreams(server().sinkInputs());
    player.pause();
    runFor(0.1);
    const double paused = player.position();
    runFor(0.4);
    EXPECT_NEAR(player.position(), paused, 1e-9) << "nothing plays while paused";
    EXPECT_GT(paused, 0.5);
    EXPECT_LT(paused, 0.8);
    player.resume();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 10.0));
    runFor(0.05);
    sink.stop();
    EXPECT_EQ(sounding(sink.samples()), sound);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0]["application.name"], "Parlivo");
    EXPECT_EQ(streams[0]["media.role"], "music");
    EXPECT_FALSE(capture.containsFragment("Lost the"));
}

TEST_P(PlaybackTest, ChangingTheDefaultSinkMovesThePlaybackWithoutALoss)
{
    foundation::LogCapture capture(true);
    ASSERT_TRUE(server().loadSpeaker("other"));
    const auto sound = nonZeroSamples(3 * 22050);
    writeRecording(m_name, sound);
    Server::SinkRecording speaker(server(), "speaker");
    Server::SinkRecording other(server(), "other");
    ASSERT_TRUE(speaker.started() && other.started());
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return player.position() > 1.0; }, 5.0));
    // As the desktop's sound settings do.
    ASSERT_TRUE(server().setDefaultSink("other"));
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 10.0));
    runFor(0.05);
    speaker.stop();
    other.stop();
    auto before = sounding(speaker.samples());
    auto after = sounding(other.samples());
    EXPECT_GT(before.size(), 22050u) << "the first second played on the speaker";
    EXPECT_GT(after.size(), 22050u) << "the rest on the new default";
    // The last second is on the new sink in one piece.
    std::vector<std::int16_t> tail(sound.end() - 22050, sound.end());
    EXPECT_TRUE(findRun(after, tail).has_value());
    EXPECT_TRUE(interruptions().empty());
    EXPECT_FALSE(capture.containsFragment("Lost the"));
    EXPECT_TRUE(capture.containsFragment("The sound server moved the playback from 'speaker' to 'other'."));
}

TEST_P(PlaybackTest, TheEarpieceIsASinkNamedSoAndAChosenSpeakerThatIsMissingFallsBackOnce)
{
    foundation::LogCapture capture(true);
    EXPECT_FALSE(device().hasEarpiece());
    ASSERT_TRUE(server().loadSpeaker("handset_earpiece"));
    EXPECT_TRUE(device().hasEarpiece());
    const auto sound = nonZeroSamples(22050 / 2);
    writeRecording(m_name, sound);

    auto playOnce = [&](const std::string& playMode) {
        setSetting("playMode", playMode);
        m_posted.clear();
        Server::SinkRecording speaker(server(), "speaker");
        Server::SinkRecording earpiece(server(), "handset_earpiece");
        AudioPlayer player;
        player.playFromFileStartingAtPosition(m_name, 0);
        EXPECT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 10.0));
        runFor(0.05);
        speaker.stop();
        earpiece.stop();
        return std::make_pair(sounding(speaker.samples()), sounding(earpiece.samples()));
    };
    auto [speakerSound, earpieceSound] = playOnce("earpiece");
    EXPECT_EQ(earpieceSound, sound);
    EXPECT_TRUE(speakerSound.empty());

    // A chosen speaker is used while it is there.
    device().setChosenSpeaker("handset_earpiece");
    std::tie(speakerSound, earpieceSound) = playOnce("speaker");
    EXPECT_EQ(earpieceSound, sound);
    EXPECT_TRUE(speakerSound.empty());

    // Gone, the default plays, and one line says so however often it is missed.
    device().setChosenSpeaker("gone");
    std::tie(speakerSound, earpieceSound) = playOnce("speaker");
    std::tie(speakerSound, earpieceSound) = playOnce("speaker");
    EXPECT_EQ(speakerSound, sound);
    auto lines = capture.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                  [](const std::string& line) { return line == "The chosen speaker 'gone' is not there; playing on the default one."; }),
        1);
}

INSTANTIATE_TEST_SUITE_P(Servers, PlaybackTest, ::testing::ValuesIn(installedServers()), serverName);
