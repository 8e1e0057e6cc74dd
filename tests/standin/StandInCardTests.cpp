// The engine on a sound card that buffers ahead of the speaker and calls back in periods, as
// a real one does; these tests take real time (a few seconds each).

#include "AudioEngineTest.h"
#include "FileSizeLimit.h"
#include "StandInCard.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "SoundEffect.h"

#include "audio/PortAudioDevice.h"
#include "audio/Session.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/UUID.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using standin::StandInCard;
using testsupport::readCAF;

namespace {

constexpr int kPeriod = 256;

// Sample i of the stand-in microphone: never 0, so silence is told from sound.
std::int16_t microphoneSample(std::int64_t i)
{
    return static_cast<std::int16_t>(1 + (i * 7) % 30000);
}

std::vector<std::int16_t> microphoneSamples(std::size_t count, std::int64_t first = 0)
{
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = microphoneSample(first + static_cast<std::int64_t>(i));
    return samples;
}

// What the card played without the silence it filled in.
std::vector<std::int16_t> playedSound()
{
    auto played = StandInCard::played();
    std::erase(played, std::int16_t { 0 });
    return played;
}

class FinishedDelegate : public SoundEffect::Delegate {
public:
    void soundEffectDidFinishPlaying(SoundEffect*) override
    {
        ++finished;
        soundAtFinish = playedSound();
    }
    int finished { 0 };
    std::vector<std::int16_t> soundAtFinish;
};

class StandInCardTest : public AudioEngineTest {
protected:
    void SetUp() override
    {
        AudioEngineTest::SetUp();
        foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
        StandInCard::reset();
        StandInCard::setMicrophone(microphoneSample);
        std::string reason;
        m_card = audio::PortAudioDevice::create(&reason);
        ASSERT_NE(m_card, nullptr) << reason;
        audio::setCurrentDevice(m_card);
        audio::Session::shared().initialize(nullptr, [this](std::uint32_t state) { m_interruptions.push_back(state); });
    }
    void TearDown() override
    {
        StandInCard::reset();
        AudioEngineTest::TearDown();
    }

    std::shared_ptr<audio::PortAudioDevice> m_card;
    std::vector<std::uint32_t> m_interruptions;
};

} // namespace

TEST_F(StandInCardTest, EverySampleOfASoundEffectIsPlayedBeforeItsCompletion)
{
    auto path = foundation::Bundle::main().pathForResource("beep", "caf");
    auto beep = SoundEffect::soundEffectWithContentsOfFile(path);
    ASSERT_NE(beep, nullptr);
    auto expected = readCAF(*path)->samples;
    std::erase(expected, std::int16_t { 0 });
    auto delegate = std::make_shared<FinishedDelegate>();
    beep->setDelegate(delegate);
    auto started = std::chrono::steady_clock::now();
    beep->play();
    ASSERT_TRUE(runUntil([&] { return delegate->finished == 1; }, 5.0));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::duration<double>(4851 / 22050.0 - 0.02));
    EXPECT_EQ(delegate->soundAtFinish, expected) << "the whole beep was played when it reported its end";
}

TEST_F(StandInCardTest, APlayedFileIsHeardWholeAndPauseResumesWhereTheSoundWasHeard)
{
    const auto sound = microphoneSamples(22050);
    writeRecording(m_name, sound);
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return playedSound().size() >= 8000; }, 3.0));

    player.pause();
    runUntil([] { return false; }, 0.05); // a callback under way when the pause came
    std::size_t heard = playedSound().size();
    double position = player.position();
    EXPECT_NEAR(position * 22050, static_cast<double>(heard), kPeriod) << "position is what was heard";
    runUntil([] { return false; }, 0.3);
    EXPECT_EQ(playedSound().size(), heard) << "a paused card plays silence";
    EXPECT_EQ(player.position(), position);
    EXPECT_FALSE(posted(PRLVNotificationAudioQueueDidStop, &player));

    player.resume();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 5.0));
    EXPECT_EQ(playedSound(), sound) << "every sample once, in order, before did-stop";
    EXPECT_TRUE(player.donePlayingFile());
}

TEST_F(StandInCardTest, StopNowStopsAtOnce)
{
    writeRecording(m_name, microphoneSamples(44100));
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return playedSound().size() >= 4000; }, 3.0));
    player.stop();
    std::size_t atStop = playedSound().size();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 1.0));
    runUntil([] { return false; }, 0.1);
    EXPECT_LE(playedSound().size(), atStop + kPeriod);
}

TEST_F(StandInCardTest, EveryFrameCapturedBeforeAStopOrPauseIsInTheFile)
{
    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    ASSERT_TRUE(runUntil([&] { return recorder.position() >= 0.35; }, 3.0));
    runUntil([] { return false; }, 0.05); // stop in the middle of a buffer
    recorder.pause();
    std::int64_t captured = StandInCard::framesCaptured();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    EXPECT_EQ(readCAF(path(m_name))->samples.size(), static_cast<std::size_t>(captured));

    m_posted.clear();
    recorder.resume();
    ASSERT_TRUE(runUntil([&] { return recorder.position() >= 0.5; }, 3.0));
    recorder.stop();
    captured = StandInCard::framesCaptured();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    EXPECT_EQ(readCAF(path(m_name))->samples, microphoneSamples(static_cast<std::size_t>(captured)))
        << "both parts, nothing lost at the pause or the stop";
}

TEST_F(StandInCardTest, ADiskFillingWhileRecordingKeepsEverySampleWrittenInOrder)
{
    // Shared: the recorder stops itself through a task that holds it weakly.
    auto recorder = std::make_shared<AudioRecorder>();
    foundation::LogCapture log;
    {
        // Room for the header and about a second of sound.
        testsupport::FileSizeLimit full(50000);
        recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
        ASSERT_TRUE(recorder->isRunning());
        // The main thread is busy for a moment when the write fails, as a window's may be:
        // the card captures on meanwhile, and the stop hands that part of a buffer over.
        // libsndfile had left the file at the start of the sound, so it landed there.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!recorder->writeFailed() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(recorder->writeFailed());
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, recorder.get()); }, 3.0));
    }
    EXPECT_EQ(recorder->writeFailure(), audio::kFileDiskFullError);
    EXPECT_TRUE(log.containsFragment("the disk is full")) << "the reason, not an error number";
    auto contents = readCAF(path(m_name));
    ASSERT_TRUE(contents.has_value()) << "the header is valid";
    EXPECT_EQ(contents->samples.size(), (50000u - 4096u) / 2);
    EXPECT_EQ(contents->samples, microphoneSamples(contents->samples.size()));
}

TEST_F(StandInCardTest, ARefusedStreamIsLoggedAndNothingWaitsForIt)
{
    StandInCard::refuseStreams(paDeviceUnavailable);
    foundation::LogCapture capture;

    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_FALSE(recorder.isRunning());
    EXPECT_EQ(recorder.position(), 0.0);
    EXPECT_TRUE(capture.contains("Cannot open the microphone of PortAudio at 22050 Hz: 'stand-in card': Device unavailable"));

    writeRecording(m_name, microphoneSamples(2205));
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    EXPECT_FALSE(player.isRunning());
    EXPECT_TRUE(capture.contains("Cannot open the speaker of PortAudio at 22050 Hz: 'stand-in card': Device unavailable"));

    auto beep = SoundEffect::soundEffectWithContentsOfFile(foundation::Bundle::main().pathForResource("beep", "caf"));
    auto delegate = std::make_shared<FinishedDelegate>();
    beep->setDelegate(delegate);
    beep->play();
    EXPECT_TRUE(runUntil([&] { return delegate->finished == 1; }, 0.05)) << "a sound that cannot play ends at once";

    runUntil([] { return false; }, 0.1);
    EXPECT_FALSE(posted(PRLVNotificationAudioQueueDidStart, &recorder));
    EXPECT_FALSE(posted(PRLVNotificationAudioQueueDidStart, &player));
    EXPECT_TRUE(StandInCard::played().empty());

    // A rate the card does not take is refused the same way.
    StandInCard::refuseStreams(paNoError);
    setSetting("sampleRate", "100");
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_FALSE(recorder.isRunning());
    EXPECT_TRUE(capture.contains("Cannot open the microphone of PortAudio at 100 Hz: 'stand-in card': Invalid sample rate"));
}

TEST_F(StandInCardTest, ADeviceThatFailsInterruptsTheSessionAndKeepsWhatWasRecorded)
{
    foundation::LogCapture capture;
    auto recorder = std::make_shared<AudioRecorder>();
    recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(runUntil([&] { return recorder->position() >= 0.25; }, 3.0));

    StandInCard::setPresent(false);
    StandInCard::failStreams();
    ASSERT_TRUE(runUntil([&] { return !m_interruptions.empty(); }, 2.0));
    EXPECT_EQ(m_interruptions, (std::vector<std::uint32_t> { audio::kSessionBeginInterruption }));
    EXPECT_TRUE(capture.contains("Lost the microphone of PortAudio: the stream ended by itself"));
    std::int64_t captured = StandInCard::framesCaptured();
    ASSERT_TRUE(runUntil([&] { return recorder->startingPacketNumber() == captured; }, 1.0)) << "everything captured is written";

    // As the studio does on an interruption: the recorder goes, and its file with everything.
    recorder.reset();
    EXPECT_EQ(readCAF(path(m_name))->samples, microphoneSamples(static_cast<std::size_t>(captured)));

    // Unplugged: no end. Plugged in again: PortAudio starts over and the interruption ends.
    runUntil([] { return false; }, 1.5);
    EXPECT_EQ(m_interruptions.size(), 1u);
    int initializations = StandInCard::initializations();
    StandInCard::setPresent(true);
    ASSERT_TRUE(runUntil([&] { return m_interruptions.size() == 2; }, 3.0));
    EXPECT_EQ(m_interruptions.back(), audio::kSessionEndInterruption);
    EXPECT_GT(StandInCard::initializations(), initializations) << "the device list was read afresh";
    EXPECT_TRUE(capture.contains("The sound device is usable again."));

    // The device works again: recording goes on in the same file.
    m_posted.clear();
    recorder = std::make_shared<AudioRecorder>();
    recorder->recordToFileWithRecordMode(m_name, RecordModeAppend);
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStart, recorder.get()); }, 1.0));
    EXPECT_TRUE(recorder->isRunning());
    EXPECT_GE(recorder->startingPacketNumber(), captured);
}

TEST_F(StandInCardTest, ACardThatGoesQuietIsLostASecondBeyondWhatItBuffers)
{
    foundation::LogCapture capture;
    writeRecording(m_name, microphoneSamples(5 * 22050));
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    // Past the start, where a sound server may still be finishing a block of its own.
    ASSERT_TRUE(runUntil([&] { return playedSound().size() >= 2.2 * 22050; }, 4.0));
    StandInCard::stallCallbacks(true);
    auto stalled = std::chrono::steady_clock::now();
    ASSERT_TRUE(runUntil([&] { return !m_interruptions.empty(); }, 3.0));
    auto silence = std::chrono::steady_clock::now() - stalled;
    EXPECT_GE(silence, std::chrono::milliseconds(950));
    EXPECT_LE(silence, std::chrono::milliseconds(1600)) << "about a second beyond the 40 ms the card buffers";
    EXPECT_EQ(m_interruptions, (std::vector<std::uint32_t> { audio::kSessionBeginInterruption }));
    EXPECT_TRUE(capture.containsFragment("Lost the speaker of PortAudio: no callback from the device for 1."));
    // The player stays where the sound stopped, so playback can go on from there.
    EXPECT_NEAR(player.position() * 22050, static_cast<double>(playedSound().size()), kPeriod);
    StandInCard::stallCallbacks(false);
}

TEST_F(StandInCardTest, ACardSilentFromItsStartIsLostOnceAServerBlockAndASecondHavePassed)
{
    foundation::LogCapture capture;
    StandInCard::stallCallbacks(true);
    AudioRecorder recorder;
    auto started = std::chrono::steady_clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(runUntil([&] { return !m_interruptions.empty(); }, 4.5));
    auto silence = std::chrono::steady_clock::now() - started;
    EXPECT_GE(silence, std::chrono::milliseconds(3000));
    EXPECT_LE(silence, std::chrono::milliseconds(3600));
    EXPECT_TRUE(capture.containsFragment("Lost the microphone of PortAudio: no callback from the device for 3."));
    StandInCard::stallCallbacks(false);
}

// As a sound server reached through ALSA delivers: the microphone in pieces of 1.2 s, the
// speaker silent for 1.5 s after its first callback.
TEST_F(StandInCardTest, ACardThatCallsBackInLargePiecesIsNotLostAndLosesNothing)
{
    foundation::LogCapture capture;
    StandInCard::callBackInPieces(1.2);
    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(runUntil([&] { return StandInCard::framesCaptured() >= 2.3 * 22050; }, 4.0));
    runUntil([] { return false; }, 0.1);
    recorder.stop();
    std::int64_t captured = StandInCard::framesCaptured();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    EXPECT_EQ(readCAF(path(m_name))->samples, microphoneSamples(static_cast<std::size_t>(captured)))
        << "every sample of both pieces, the second taken whole at once";

    StandInCard::callBackInPieces(0);
    StandInCard::delayAfterFirstCallback(1.5);
    const auto sound = microphoneSamples(5000);
    const std::string name = foundation::makeUUIDString();
    writeRecording(name, sound);
    AudioPlayer player;
    player.playFromFileStartingAtPosition(name, 0);
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 4.0));
    EXPECT_EQ(playedSound(), sound);
    EXPECT_TRUE(m_interruptions.empty());
    EXPECT_FALSE(capture.containsFragment("Lost the"));
}

// A source that renders a whole block at its start (as a synthetic one of a sound server
// does) delivers sound ahead of the clock: the recording keeps what the clock has reached.
TEST_F(StandInCardTest, SoundDeliveredAheadOfTheClockIsRecordedAsTheClockReachesIt)
{
    foundation::LogCapture capture;
    StandInCard::callBackInPieces(1.0, true);
    AudioRecorder recorder;
    auto started = std::chrono::steady_clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(runUntil([&] { return std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(500); }, 1.0));
    EXPECT_NEAR(recorder.position(), 0.5, 0.15) << "the timer follows the clock, not the card's pieces";
    ASSERT_TRUE(runUntil([&] { return std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(1700); }, 2.0));
    recorder.stop();
    auto stopped = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    auto samples = readCAF(path(m_name))->samples;
    EXPECT_NEAR(static_cast<double>(samples.size()) / 22050, stopped, 0.05);
    EXPECT_EQ(samples, microphoneSamples(samples.size())) << "from the first sample, without a gap";
    EXPECT_FALSE(capture.containsFragment("Dropped"));

    // More at once than the longest ring holds: the rest is dropped, and said once.
    StandInCard::callBackInPieces(11.0, true);
    const std::string name = foundation::makeUUIDString();
    const std::int64_t first = StandInCard::framesCaptured();
    recorder.recordToFileWithRecordMode(name, RecordModeNew);
    ASSERT_TRUE(runUntil([&] { return recorder.position() >= 0.3; }, 2.0));
    recorder.stop();
    runUntil([] { return false; }, 0.1);
    auto lines = capture.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("Dropped "); }), 1);
    EXPECT_TRUE(capture.containsFragment("samples of the microphone of PortAudio: it delivered more than 10 s at once"));
    samples = readCAF(path(name))->samples;
    EXPECT_EQ(samples, microphoneSamples(samples.size(), first)) << "what was kept is the start, whole";
}

TEST_F(StandInCardTest, ACardThatComesOrGoesIsFollowedByTheNextStreamOpenedWithNoneOpen)
{
    foundation::LogCapture capture;
    std::string devices = documentsPath() + "/snd";
    ASSERT_EQ(::mkdir(devices.c_str(), 0700), 0);
    m_card->watchDevicesIn(devices);
    writeRecording(m_name, microphoneSamples(2205));
    int initializations = StandInCard::initializations();

    auto player = std::make_shared<AudioPlayer>();
    player->playFromFileStartingAtPosition(m_name, 0);
    EXPECT_EQ(StandInCard::initializations(), initializations) << "nothing changed";

    // Plugged in while the player's stream is open: PortAudio starts over only when it closed.
    std::ofstream(devices + "/pcmC1D0p") << "";
    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(foundation::makeUUIDString(), RecordModeNew);
    EXPECT_EQ(StandInCard::initializations(), initializations);
    recorder.stop();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    player.reset();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_EQ(StandInCard::initializations(), initializations + 1);
    EXPECT_TRUE(capture.contains("The sound devices changed: the microphone is 'stand-in card', the speaker 'stand-in card'."));
    EXPECT_TRUE(recorder.isRunning());
    recorder.stop();
    ASSERT_TRUE(runUntil([&] { return !recorder.isRunning(); }, 2.0));
}

TEST_F(StandInCardTest, TheEarpieceIsTheOutputDeviceNamedForIt)
{
    const auto sound = microphoneSamples(4410);
    writeRecording(m_name, sound);
    AudioPlayer player;
    player.setSpeakerMode(false);
    auto playOnce = [&] {
        m_posted.clear();
        player.playFromFileStartingAtPosition(m_name, 0);
        return runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 3.0);
    };
    auto earpieceSound = [] {
        auto played = StandInCard::playedOnEarpiece();
        std::erase(played, std::int16_t { 0 });
        return played;
    };

    EXPECT_FALSE(m_card->hasEarpiece());
    ASSERT_TRUE(playOnce());
    EXPECT_EQ(playedSound(), sound) << "a card without an earpiece plays it on the speaker";

    StandInCard::setEarpiece(true);
    EXPECT_TRUE(m_card->hasEarpiece()) << "\"stand-in Earpiece\" matches \"earpiece\" whatever the case";
    ASSERT_TRUE(playOnce());
    EXPECT_EQ(earpieceSound(), sound);
    EXPECT_EQ(playedSound(), sound) << "nothing more on the speaker";

    setenv("PARLIVO_EARPIECE_DEVICE", "receiver", 1);
    EXPECT_FALSE(m_card->hasEarpiece()) << "a chosen name replaces the usual one";
    setenv("PARLIVO_EARPIECE_DEVICE", "STAND-IN", 1);
    EXPECT_TRUE(m_card->hasEarpiece()) << "the default output itself is never the earpiece, the other one matches";
    unsetenv("PARLIVO_EARPIECE_DEVICE");

    EXPECT_TRUE(audio::isEarpieceName("Handset Earpiece (hw:0,2)", "earpiece"));
    EXPECT_FALSE(audio::isEarpieceName("Speaker", "earpiece"));
    EXPECT_FALSE(audio::isEarpieceName("Earpiece", ""));
}
