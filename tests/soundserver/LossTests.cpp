// A device that goes (its module unloaded, or the server killed) is a loss noticed within a
// second, with nothing recorded lost; when it is back the interruption ends.

#include "SoundServerTest.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"

#include <chrono>

using testsupport::fitSine;
using testsupport::readCAF;

namespace {

constexpr double kRate = 22050;

using Clock = std::chrono::steady_clock;

class LossTest : public SoundServerTest {
protected:
    std::vector<std::int16_t> recorded() const
    {
        auto contents = readCAF(path(m_name));
        return contents ? contents->samples : std::vector<std::int16_t> {};
    }
    // Seconds from now until the interruption begins, or none within timeout.
    std::optional<double> untilInterruptionBegins(Clock::time_point from, double timeout)
    {
        if (!runUntil([&] { return !interruptions().empty(); }, timeout))
            return std::nullopt;
        return std::chrono::duration<double>(Clock::now() - from).count();
    }
    bool interruptionEnds(double timeout)
    {
        return runUntil([&] { return interruptions().size() >= 2; }, timeout);
    }
    static long count(const foundation::LogCapture& capture, const std::string& fragment)
    {
        auto lines = capture.lines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
    }
    // What a recorder that stopped at the loss kept: the sine up to the loss, unbroken, from a
    // start between called and started.
    void expectRecordedUntil(Clock::time_point called, Clock::time_point started, Clock::time_point loss)
    {
        auto samples = recorded();
        const double kept = static_cast<double>(samples.size()) / kRate;
        EXPECT_GT(kept, std::chrono::duration<double>(loss - started).count() - 0.08) << "nothing delivered before the loss is lost";
        EXPECT_LT(kept, std::chrono::duration<double>(loss - called).count() + 0.08) << "nothing after the loss is kept";
        ASSERT_GT(samples.size(), 1000u);
        EXPECT_LT(fitSine(samples.data(), samples.size(), 440, kRate).largestError, 8) << "a sample was lost or doubled";
    }
};

} // namespace

TEST_P(LossTest, UnloadingTheMicrophoneBeginsTheInterruptionAndLoadingItEndsIt)
{
    foundation::LogCapture capture(true);
    AudioRecorder recorder;
    // The stream runs from some moment within the call, which takes over a second under the
    // thread checker: what is kept lies between the two counts.
    const auto called = Clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    const auto started = Clock::now();
    runFor(1.0);
    // The server moves the recording to the speaker's monitor, which is no microphone.
    const auto unloaded = Clock::now();
    ASSERT_TRUE(server().unloadMicrophone());
    auto noticed = untilInterruptionBegins(unloaded, 2.0);
    ASSERT_TRUE(noticed.has_value());
    EXPECT_LT(*noticed, 1.0);
    EXPECT_EQ(interruptions(), std::vector<std::uint32_t> { audio::kSessionBeginInterruption });
    recorder.stop();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 5.0));
    expectRecordedUntil(called, started, unloaded);
    EXPECT_EQ(count(capture, "Lost the microphone of sound server ("), 1);
    EXPECT_EQ(count(capture, "'microphone' was removed"), 1);

    // Asked every second, the device is usable again once a microphone is there.
    runFor(1.5);
    EXPECT_EQ(interruptions().size(), 1u) << "the monitor is no microphone";
    ASSERT_TRUE(server().loadMicrophone());
    EXPECT_TRUE(interruptionEnds(3.0));
}

TEST_P(LossTest, UnloadingTheSpeakerBeginsTheInterruptionAndLoadingItEndsIt)
{
    foundation::LogCapture capture(true);
    writeRecording(m_name, nonZeroSamples(3 * 22050));
    AudioPlayer player;
    player.playFromFileStartingAtPosition(m_name, 0);
    ASSERT_TRUE(runUntil([&] { return player.position() > 1.0; }, 5.0));
    const auto unloaded = Clock::now();
    ASSERT_TRUE(server().unloadSpeaker());
    auto noticed = untilInterruptionBegins(unloaded, 2.0);
    ASSERT_TRUE(noticed.has_value());
    EXPECT_LT(*noticed, 1.0);
    EXPECT_EQ(count(capture, "Lost the speaker of sound server ("), 1);
    EXPECT_EQ(count(capture, "'speaker' was removed"), 1);
    const double position = player.position();
    EXPECT_GT(position, 1.0);
    EXPECT_LT(position, 1.5) << "the position is what was heard";
    player.stop();

    ASSERT_TRUE(server().loadSpeaker());
    EXPECT_TRUE(interruptionEnds(3.0));
}

TEST_P(LossTest, TheServerGoingAwayBeginsTheInterruptionAndAServerStartedAgainEndsIt)
{
    foundation::LogCapture capture(true);
    AudioRecorder recorder;
    // The stream runs from some moment within the call, which takes over a second under the
    // thread checker: what is kept lies between the two counts.
    const auto called = Clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    const auto started = Clock::now();
    runFor(1.0);
    const auto killed = Clock::now();
    server().kill();
    auto noticed = untilInterruptionBegins(killed, 2.0);
    ASSERT_TRUE(noticed.has_value());
    EXPECT_LT(*noticed, 1.0);
    recorder.stop();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 5.0));
    expectRecordedUntil(called, started, killed);
    EXPECT_EQ(count(capture, "Lost the microphone of sound server ("), 1);
    EXPECT_EQ(count(capture, ": the sound server went away ("), 1);

    runFor(1.2);
    EXPECT_EQ(interruptions().size(), 1u) << "no server, no sound";
    startServer(serverOptions());
    ASSERT_TRUE(server().ready()) << server().error();
    EXPECT_TRUE(interruptionEnds(3.0));
    m_posted.clear();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_TRUE(recorder.isRunning()) << "recording works on the new server without a new device";
    recorder.stop();
}

INSTANTIATE_TEST_SUITE_P(Servers, LossTest, ::testing::ValuesIn(installedServers()), serverName);
