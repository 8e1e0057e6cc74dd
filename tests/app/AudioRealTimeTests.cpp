// The only tests that take real time: the audio threads of the virtual devices keeping real
// time, and a recording process killed mid-recording.

#include "AudioEngineTest.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"

#include "foundation/RunLoop.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::readCAF;
using testsupport::toneSamples;

namespace {

class AudioRealTimeTest : public AudioEngineTest {
};

} // namespace

TEST_F(AudioRealTimeTest, RecordsAndPlaysBackWithTheAudioThreadsKeepingRealTime)
{
    foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
    device().setMicrophoneTone(440, 0.5);
    {
        AudioRecorder recorder;
        // Taken before the start: the device's clock begins inside it.
        auto started = std::chrono::steady_clock::now();
        recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
        ASSERT_TRUE(runUntil([&] { return recorder.position() >= 1.0; }, 5.0));
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(950)) << "paced in real time";
        EXPECT_GT(recorder.getAveragePower(), 0.3f);
        recorder.stop();
        ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    }
    auto recorded = readCAF(path(m_name));
    ASSERT_TRUE(recorded.has_value());
    ASSERT_GE(recorded->samples.size(), 22050u);
    EXPECT_EQ(recorded->samples, toneSamples(440, 0.5, 22050, recorded->samples.size()));

    m_posted.clear(); // the player may stand where the recorder stood
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &player); }, 5.0));
    EXPECT_TRUE(player.donePlayingFile());
    EXPECT_EQ(device().speakerSamples(), recorded->samples);
}

TEST_F(AudioRealTimeTest, EverythingTheMicrophoneGaveBeforeAPauseOrStopIsRecorded)
{
    foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
    device().setMicrophoneTone(440, 0.5);
    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(runUntil([&] { return recorder.position() >= 0.2; }, 3.0));
    runUntil([] { return false; }, 0.05); // into the next buffer
    recorder.pause();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));
    recorder.resume();
    ASSERT_TRUE(runUntil([&] { return recorder.position() >= 0.4; }, 3.0));
    runUntil([] { return false; }, 0.05);
    recorder.stop();
    m_posted.clear();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 2.0));

    auto recorded = readCAF(path(m_name));
    ASSERT_TRUE(recorded.has_value());
    auto delivered = static_cast<std::size_t>(device().microphoneFramesRead());
    EXPECT_EQ(recorded->samples.size(), delivered);
    EXPECT_EQ(recorded->samples, toneSamples(440, 0.5, 22050, delivered)) << "no gap at the pause";
}

TEST_F(AudioRealTimeTest, AKilledRecordingLeavesAReadableFileWithAllButTheLastMoment)
{
    int reports[2];
    ASSERT_EQ(::pipe(reports), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The recording process: records in real time and reports the packets written so far.
        ::close(reports[0]);
        foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
        device().setMicrophoneTone(523, 0.6);
        AudioRecorder recorder;
        recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
        runLoop().scheduleTimer(0.02, true, [&](foundation::Timer&) {
            std::int64_t packets = recorder.startingPacketNumber();
            if (::write(reports[1], &packets, sizeof packets) != sizeof packets)
                ::_exit(1);
        });
        runLoop().runFor(30);
        ::_exit(0);
    }
    ::close(reports[1]);
    std::int64_t reported = 0;
    std::int64_t packets = 0;
    while (reported < 22050 && ::read(reports[0], &packets, sizeof packets) == sizeof packets)
        reported = packets;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    while (::read(reports[0], &packets, sizeof packets) == sizeof packets)
        reported = packets;
    ::close(reports[0]);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(reported, 22050) << "the recording ran for about a second";

    auto file = readCAF(path(m_name));
    ASSERT_TRUE(file.has_value()) << "the file opens after its writer was killed";
    EXPECT_GE(static_cast<std::int64_t>(file->samples.size()), reported - 22050 / 5);
    EXPECT_EQ(file->samples, toneSamples(523, 0.6, 22050, file->samples.size()));
}
