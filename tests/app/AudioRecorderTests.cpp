#include "AudioEngineTest.h"

#include "AudioRecorder.h"

#include "audio/Session.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"

using testsupport::rampSamples;
using testsupport::readCAF;
using testsupport::toneSamples;

namespace {

class AudioRecorderTest : public AudioEngineTest {
protected:
    void TearDown() override
    {
        m_recorder.reset();
        AudioEngineTest::TearDown();
    }

    std::shared_ptr<AudioRecorder> m_recorder { std::make_shared<AudioRecorder>() };
};

} // namespace

TEST_F(AudioRecorderTest, TwoSecondsOfAToneBecomeAFileOfExactlyThoseSamplesInTheBoundFormat)
{
    device().setMicrophoneTone(440, 0.5);
    double durationAtWillStop = -1;
    foundation::NotificationCenter::defaultCenter().addObserver(&durationAtWillStop, PRLVNotificationAudioQueueWillStop,
        m_recorder.get(), [&](const foundation::Notification&) { durationAtWillStop = m_recorder->audioFileDuration(); });

    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_EQ(takePosted(), Names({ "WillStart" }));
    EXPECT_EQ(m_posted.size(), 0u);
    EXPECT_TRUE(m_recorder->isRunning());
    EXPECT_EQ(m_recorder->position(), 0.0) << "nothing written yet";
    EXPECT_EQ(audio::Session::shared().category(), audio::kSessionCategoryRecordAudio);
    EXPECT_TRUE(audio::Session::shared().isActive());
    EXPECT_EQ(m_recorder->bufferSize(), 4410);
    EXPECT_TRUE(m_recorder->isLevelMeteringEnabled());

    advance(1.0);
    EXPECT_EQ(takePosted(), Names({ "DidStart" }));
    EXPECT_EQ(m_recorder->position(), 1.0);
    advance(1.0);
    EXPECT_EQ(m_recorder->position(), 2.0);
    EXPECT_EQ(m_recorder->startingPacketNumber(), 44100);

    m_recorder->stop();
    EXPECT_EQ(takePosted(), Names({ "WillStop" }));
    EXPECT_EQ(durationAtWillStop, 2.0);
    EXPECT_EQ(m_recorder->position(), 0.0);
    advance(0.5);
    EXPECT_EQ(takePosted(), Names({ "DidStop" }));
    EXPECT_FALSE(audio::Session::shared().isActive());
    EXPECT_EQ(m_recorder->audioFileID(), nullptr) << "closed by the did-stop";

    auto file = readCAF(path(m_name));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->sampleRate, 22050.0);
    EXPECT_EQ(file->formatID, "lpcm");
    EXPECT_EQ(file->formatFlags, 2u);
    EXPECT_EQ(file->bytesPerPacket, 2u);
    EXPECT_EQ(file->framesPerPacket, 1u);
    EXPECT_EQ(file->channelsPerFrame, 1u);
    EXPECT_EQ(file->bitsPerChannel, 16u);
    EXPECT_EQ(file->samples, toneSamples(440, 0.5, 22050, 44100));
    foundation::NotificationCenter::defaultCenter().removeObserver(&durationAtWillStop);
}

TEST_F(AudioRecorderTest, BuffersHoldATenthOfASecondAtEachRate)
{
    for (auto [rate, bytes] : { std::pair { "8000", 1600 }, { "22050", 4410 }, { "44100", 8820 } }) {
        setSetting("sampleRate", rate);
        auto name = foundation::makeUUIDString();
        m_recorder->recordToFileWithRecordMode(name, RecordModeNew);
        EXPECT_EQ(m_recorder->bufferSize(), bytes) << rate;
        EXPECT_EQ(m_recorder->audioFormat().mSampleRate, std::stod(rate));
        advance(0.5);
        EXPECT_EQ(m_recorder->position(), 0.5) << rate;
        m_recorder->stop();
        advance(0.1);
        EXPECT_EQ(readCAF(path(name))->samples.size(), static_cast<size_t>(bytes / 2 * 5)) << rate;
    }
}

TEST_F(AudioRecorderTest, AppendContinuesAfterTheLastPacket)
{
    auto first = rampSamples(22050, 3);
    writeRecording(m_name, first);
    device().setMicrophoneTone(700, 0.3);

    m_recorder->recordToFileWithRecordMode(m_name, RecordModeAppend);
    EXPECT_EQ(m_recorder->startingPacketNumber(), 22050);
    EXPECT_EQ(m_recorder->audioFileDuration(), 1.0);
    advance(0.5);
    EXPECT_EQ(m_recorder->audioFileDuration(), 1.5) << "the duration covers both parts";
    EXPECT_EQ(m_recorder->position(), 1.5);
    m_recorder->stop();
    advance(0.1);

    auto expected = first;
    auto tone = toneSamples(700, 0.3, 22050, 11025);
    expected.insert(expected.end(), tone.begin(), tone.end());
    EXPECT_EQ(readCAF(path(m_name))->samples, expected);

    // Appending to a file that does not exist makes a new one.
    auto fresh = foundation::makeUUIDString();
    m_recorder->recordToFileWithRecordMode(fresh, RecordModeAppend);
    EXPECT_EQ(m_recorder->startingPacketNumber(), 0);
    advance(0.2);
    m_recorder->stop();
    advance(0.1);
    EXPECT_EQ(readCAF(path(fresh))->samples.size(), 4410u);
}

TEST_F(AudioRecorderTest, AppendRecordsAtTheFilesOwnRate)
{
    auto first = rampSamples(8000, 5);
    writeRecording(m_name, first, 8000);
    device().setMicrophoneTone(440, 0.5);

    m_recorder->recordToFileWithRecordMode(m_name, RecordModeAppend);
    EXPECT_EQ(m_recorder->audioFormat().mSampleRate, 8000.0);
    EXPECT_EQ(m_recorder->bufferSize(), 1600);
    advance(1.0);
    EXPECT_EQ(m_recorder->position(), 2.0);
    m_recorder->stop();
    advance(0.1);

    auto file = readCAF(path(m_name));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->sampleRate, 8000.0);
    auto expected = first;
    auto tone = toneSamples(440, 0.5, 8000, 8000);
    expected.insert(expected.end(), tone.begin(), tone.end());
    EXPECT_EQ(file->samples, expected);
}

TEST_F(AudioRecorderTest, PauseThenResumeRecordsIntoOneFile)
{
    auto sound = rampSamples(22050 * 4, 11);
    device().setMicrophoneSamples(sound);
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    advance(1.0);
    takePosted();

    m_recorder->pause();
    EXPECT_TRUE(m_recorder->paused());
    EXPECT_FALSE(m_recorder->isRunning());
    EXPECT_EQ(takePosted(), Names({ "WillStop" }));
    EXPECT_EQ(m_recorder->position(), 1.0) << "a paused recorder still reports its time";
    advance(3.0);
    EXPECT_EQ(takePosted(), Names({ "DidStop" }));
    EXPECT_EQ(m_recorder->position(), 1.0);

    m_recorder->resume();
    EXPECT_FALSE(m_recorder->paused());
    advance(0.5);
    // Paused and resumed again before the stop was even delivered: still the same file, and
    // the replaced queue goes without a did-stop.
    m_recorder->pause();
    m_recorder->resume();
    advance(0.5);
    EXPECT_EQ(takePosted(), Names({ "WillStart", "DidStart", "WillStop", "WillStart", "DidStart" }));
    EXPECT_EQ(m_recorder->position(), 2.0);
    m_recorder->stop();
    advance(0.1);
    EXPECT_EQ(takePosted(), Names({ "WillStop", "DidStop" }));
    EXPECT_EQ(readCAF(path(m_name))->samples, std::vector<std::int16_t>(sound.begin(), sound.begin() + 44100));
}

TEST_F(AudioRecorderTest, StopOnARecorderThatDoesNotRunPostsNothing)
{
    m_recorder->stop();
    advance(0.1);
    EXPECT_TRUE(m_posted.empty());
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    advance(0.1);
    m_recorder->stop();
    advance(0.1);
    takePosted();
    m_recorder->stop();
    advance(0.1);
    EXPECT_TRUE(m_posted.empty());
    EXPECT_EQ(m_recorder->position(), 0.0);
}

TEST_F(AudioRecorderTest, LevelsFollowTheLastBuffer)
{
    EXPECT_EQ(m_recorder->getAveragePower(), 0.0f);
    EXPECT_EQ(m_recorder->getPeakPower(), 0.0f);
    device().setMicrophoneTone(1001, 1.0);
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_EQ(m_recorder->getAveragePower(), 0.0f) << "zero until the first buffer";
    advance(0.1);
    EXPECT_NEAR(m_recorder->getAveragePower(), 0.7071, 0.001);
    EXPECT_NEAR(m_recorder->getPeakPower(), 1.0, 0.001);
    device().setMicrophoneSilence();
    advance(0.1);
    EXPECT_EQ(m_recorder->getAveragePower(), 0.0f);
    EXPECT_EQ(m_recorder->getPeakPower(), 0.0f);
}

TEST_F(AudioRecorderTest, ARefusedNameOrRateLeavesTheRecorderIdle)
{
    foundation::LogCapture capture;
    m_recorder->recordToFileWithRecordMode("../outside", RecordModeNew);
    advance(0.5);
    EXPECT_FALSE(m_recorder->audioFileID());
    EXPECT_FALSE(m_recorder->isRunning()) << "no file, no recording";
    EXPECT_EQ(m_recorder->position(), 0.0) << "nothing was written";
    EXPECT_TRUE(capture.contains("Cannot record into the audio file \"../outside\": not a valid audio file name, or its folder is missing"));
    m_recorder->stop();

    EXPECT_EQ(takePosted(), Names({ "WillStart" })) << "the queue never started";
}

TEST_F(AudioRecorderTest, AnUnusableRateSettingRecordsAtTheDefaultRate)
{
    // Rates no file or device can take: each is logged and the recording is made at 22050 Hz.
    for (const char* setting : { "22050.5", "fast", "nan", "inf", "-5", "0", "1e9" }) {
        SCOPED_TRACE(setting);
        foundation::LogCapture capture;
        setSetting("sampleRate", setting);
        m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
        advance(0.5);
        EXPECT_TRUE(m_recorder->isRunning());
        EXPECT_TRUE(capture.contains(std::string("The sampleRate setting \"") + setting + "\" cannot be used; recording at 22050 Hz."));
        m_recorder->stop();
        advance(0.2);
        auto caf = readCAF(path(m_name));
        ASSERT_TRUE(caf);
        EXPECT_EQ(caf->sampleRate, 22050);
        EXPECT_GT(caf->samples.size(), 0u);
        takePosted();
    }
}

TEST_F(AudioRecorderTest, DestroyingARecordingRecorderLeavesAReadableFile)
{
    device().setMicrophoneTone(440, 0.5);
    m_recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    advance(0.7);
    m_recorder.reset();
    advance(0.1);
    EXPECT_EQ(takePosted(), Names({ "WillStart", "DidStart" }));
    EXPECT_EQ(readCAF(path(m_name))->samples, toneSamples(440, 0.5, 22050, 7 * 2205));
}
