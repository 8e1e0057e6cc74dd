#include "AudioEngineTest.h"

#include "AudioPlayer.h"

#include "audio/Session.h"

using testsupport::rampSamples;

namespace {

class AudioPlayerTest : public AudioEngineTest {
protected:
    void TearDown() override
    {
        m_player.reset();
        AudioEngineTest::TearDown();
    }

    std::vector<std::int16_t> slice(size_t from, size_t count) const
    {
        return { m_sound.begin() + static_cast<long>(from), m_sound.begin() + static_cast<long>(from + count) };
    }

    std::vector<std::int64_t> bufferCounts() const
    {
        std::vector<std::int64_t> counts;
        for (auto* buffer : m_player->buffers())
            counts.push_back(buffer ? buffer->mUserData : -1);
        return counts;
    }

    const std::vector<std::int16_t> m_sound { rampSamples(22050 * 5, 5) };
    std::shared_ptr<AudioPlayer> m_player { std::make_shared<AudioPlayer>() };
};

} // namespace

TEST_F(AudioPlayerTest, PrimingQueuesThreeTenthsOfASecondAndPositionFollowsThePlayedSound)
{
    writeRecording(m_name, m_sound);
    m_player->playFromFileStartingAtPosition(m_name, 0);
    EXPECT_EQ(m_player->bufferByteSize(), 4410u);
    EXPECT_EQ(m_player->numPacketsToRead(), 2205u);
    EXPECT_EQ(bufferCounts(), (std::vector<std::int64_t> { 2205, 2205, 2205 }));
    EXPECT_EQ(m_player->startingPacketNumber(), 6615);
    EXPECT_EQ(m_player->position(), 0.0);
    EXPECT_EQ(takePosted(), Names({ "WillStart" }));
    EXPECT_EQ(audio::Session::shared().category(), audio::kSessionCategoryMediaPlayback);
    EXPECT_TRUE(audio::Session::shared().isActive());

    advance(0.25);
    EXPECT_EQ(takePosted(), Names({ "DidStart" }));
    EXPECT_DOUBLE_EQ(m_player->position(), 0.2);
    EXPECT_EQ(device().speakerSamples(), slice(0, 4410));

    m_player->pause();
    EXPECT_TRUE(m_player->paused());
    EXPECT_TRUE(m_player->isRunning());
    advance(2.0);
    EXPECT_EQ(device().speakerSamples().size(), 4410u);
    EXPECT_DOUBLE_EQ(m_player->position(), 0.2);
    m_player->resume();
    EXPECT_FALSE(m_player->paused());
    advance(0.05);
    EXPECT_EQ(device().speakerSamples().size(), 6615u) << "the paused buffer kept its remaining time";
    EXPECT_DOUBLE_EQ(m_player->position(), 0.3) << "what was heard, across the pause";
    EXPECT_TRUE(m_posted.empty());
}

TEST_F(AudioPlayerTest, AStartAtOneAndAHalfSecondsReadsFromPacket33075)
{
    writeRecording(m_name, m_sound);
    m_player->playFromFileStartingAtPosition(m_name, 1.5);
    EXPECT_EQ(m_player->startingPacketNumber(), 33075 + 6615);
    EXPECT_EQ(m_player->position(), 1.5);
    advance(0.3);
    EXPECT_EQ(device().speakerSamples(), slice(33075, 6615));
}

TEST_F(AudioPlayerTest, BufferSizesAtEachRate)
{
    for (auto [rate, bytes, packets] : { std::tuple { 8000, 4096u, 2048u }, { 22050, 4410u, 2205u }, { 44100, 8820u, 4410u } }) {
        auto name = foundation::makeUUIDString();
        writeRecording(name, rampSamples(static_cast<size_t>(rate)), rate);
        m_player->playFromFileStartingAtPosition(name, 0);
        EXPECT_EQ(m_player->bufferByteSize(), bytes) << rate;
        EXPECT_EQ(m_player->numPacketsToRead(), packets) << rate;
    }
    // No file: no packet size to divide by, and nothing to play.
    m_player->playFromFileStartingAtPosition(foundation::makeUUIDString(), 0);
    EXPECT_EQ(m_player->bufferByteSize(), 0u);
    EXPECT_EQ(m_player->numPacketsToRead(), 0u);
    EXPECT_EQ(m_player->queueObject(), nullptr);
    EXPECT_EQ(m_player->position(), 0.0);
}

TEST_F(AudioPlayerTest, AFileShorterThanThreeBuffersPlaysOutAndStopsByItself)
{
    writeRecording(m_name, slice(0, 3000));
    m_player->playFromFileStartingAtPosition(m_name, 0);
    EXPECT_EQ(bufferCounts(), (std::vector<std::int64_t> { 2205, 795, 0 }));
    EXPECT_TRUE(m_player->donePlayingFile());
    EXPECT_EQ(takePosted(), Names({ "WillStart", "WillStop" })) << "the end was read while priming";
    advance(0.1);
    EXPECT_EQ(takePosted(), Names({ "DidStart" }));
    advance(0.1);
    EXPECT_EQ(takePosted(), Names({ "DidStop" }));
    EXPECT_EQ(device().speakerSamples(), slice(0, 3000));
    EXPECT_FALSE(m_player->isRunning());
    EXPECT_FALSE(audio::Session::shared().isActive());
}

TEST_F(AudioPlayerTest, AStartAtOrPastTheEndPostsWillStopAtOnce)
{
    writeRecording(m_name, slice(0, 22050));
    for (double start : { 1.0, 7.0 }) {
        m_player->playFromFileStartingAtPosition(m_name, start);
        EXPECT_TRUE(m_player->donePlayingFile());
        EXPECT_EQ(bufferCounts(), (std::vector<std::int64_t> { 0, -1, -1 }));
        EXPECT_EQ(takePosted(), Names({ "WillStart", "WillStop" }));
        advance(0.1);
        EXPECT_EQ(takePosted(), Names({ "DidStart", "DidStop" }));
    }
    EXPECT_TRUE(device().speakerSamples().empty());
}

TEST_F(AudioPlayerTest, StopEndsPlaybackWithoutTheEndOfFileNotices)
{
    writeRecording(m_name, slice(0, 22050));
    m_player->playFromFileStartingAtPosition(m_name, 0);
    advance(0.3);
    takePosted();
    m_player->stop();
    EXPECT_TRUE(m_player->stopping());
    EXPECT_EQ(takePosted(), Names({ "WillStop" }));
    advance(2.0);
    EXPECT_EQ(takePosted(), Names({ "DidStop" }));
    EXPECT_FALSE(m_player->donePlayingFile()) << "the playback screen tells a stop from the end by this";
    EXPECT_EQ(device().speakerSamples(), slice(0, 6615));

    // Reaching the end: one will-stop from the end, one did-stop once the sound has played.
    device().clearSpeakerSamples();
    m_player->playFromFileStartingAtPosition(m_name, 0.5);
    advance(0.45);
    EXPECT_EQ(takePosted(), Names({ "WillStart", "DidStart", "WillStop" }));
    advance(0.05);
    EXPECT_EQ(takePosted(), Names({ "DidStop" }));
    EXPECT_TRUE(m_player->donePlayingFile());
    EXPECT_EQ(device().speakerSamples(), slice(11025, 11025));
    m_player->stop();
    EXPECT_TRUE(m_posted.empty()) << "a stopped player is left alone";
}

TEST_F(AudioPlayerTest, SeekingReplacesTheQueueWithoutADidStop)
{
    writeRecording(m_name, m_sound);
    m_player->playFromFileStartingAtPosition(m_name, 0);
    advance(0.2);
    auto firstQueue = m_player->queueObject();
    m_player->playFromFileStartingAtPosition(m_name, 3.0);
    EXPECT_NE(m_player->queueObject(), firstQueue);
    advance(0.2);
    EXPECT_EQ(takePosted(), Names({ "WillStart", "DidStart", "WillStart", "DidStart" }));
    auto expected = slice(0, 4410);
    auto after = slice(66150, 4410);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(device().speakerSamples(), expected);
}

TEST_F(AudioPlayerTest, PlayModeChoosesTheRouteOfTheNextPlayback)
{
    writeRecording(m_name, slice(0, 2205));
    EXPECT_TRUE(m_player->speakerMode());
    m_player->setSpeakerMode(false);
    EXPECT_EQ(foundation::UserDefaults::standardUserDefaults().stringForKey("playMode"), "earpiece");
    EXPECT_FALSE(m_player->speakerMode());
    m_player->playFromFileStartingAtPosition(m_name, 0);
    EXPECT_EQ(audio::Session::shared().category(), audio::kSessionCategoryPlayAndRecord);
    m_player->setSpeakerMode(true);
    m_player->playFromFileStartingAtPosition(m_name, 0);
    EXPECT_EQ(audio::Session::shared().category(), audio::kSessionCategoryMediaPlayback);
}

TEST_F(AudioPlayerTest, EarpieceModePlaysOnTheEarpieceOnlyWhereTheDeviceHasOne)
{
    writeRecording(m_name, slice(0, 4410));
    m_player->setSpeakerMode(false);
    m_player->playFromFileStartingAtPosition(m_name, 0);
    advance(1);
    EXPECT_EQ(device().speakerSamples(), slice(0, 4410)) << "no earpiece: the speaker plays";
    EXPECT_TRUE(device().earpieceSamples().empty());

    device().clearSpeakerSamples();
    device().setHasEarpiece(true);
    m_player->playFromFileStartingAtPosition(m_name, 0);
    advance(1);
    EXPECT_EQ(device().earpieceSamples(), slice(0, 4410));
    EXPECT_TRUE(device().speakerSamples().empty());

    device().clearEarpieceSamples();
    m_player->setSpeakerMode(true);
    m_player->playFromFileStartingAtPosition(m_name, 0);
    advance(1);
    EXPECT_EQ(device().speakerSamples(), slice(0, 4410));
    EXPECT_TRUE(device().earpieceSamples().empty());
}
