// What the recorder keeps of the server's 440-Hz sine source: every sample, in its phase.

#include "SoundServerTest.h"

#include "AudioRecorder.h"

#include "foundation/FileManager.h"

#include <chrono>
#include <cmath>

using testsupport::fitSine;
using testsupport::readCAF;

namespace {

constexpr double kRate = 22050;
constexpr double kTone = 440;
// A sample lost or doubled moves the sine by 2π·440/22050 of a turn: an error of about
// 2000 at the source's amplitude. Rounding to 16 bits leaves about 1.
constexpr double kLargestRoundingError = 8;

using Clock = std::chrono::steady_clock;

class RecordingTest : public SoundServerTest {
protected:
    std::vector<std::int16_t> recorded() const
    {
        auto contents = readCAF(path(m_name));
        return contents ? contents->samples : std::vector<std::int16_t> {};
    }
    void expectSineWithoutBreak(const std::int16_t* samples, std::size_t count)
    {
        ASSERT_GT(count, 1000u);
        auto fit = fitSine(samples, count, kTone, kRate);
        EXPECT_NEAR(fit.amplitude, 0.5, 0.01);
        EXPECT_LT(fit.largestError, kLargestRoundingError) << "a sample was lost or doubled";
    }
    double seconds(std::size_t samples) const { return static_cast<double>(samples) / kRate; }
    // A stream runs from some moment within the call that starts it (slow under the thread
    // checker) until some moment within the call that pauses or stops it.
    struct Call {
        Clock::time_point called, returned;
    };
    static void expectKeptBetween(double kept, Call start, Call end)
    {
        EXPECT_GT(kept, std::chrono::duration<double>(end.called - start.returned).count() - 0.05) << "nothing recorded is lost";
        // A new stream also gets what the source held when it began: a few tens of ms from just
        // before the call, and up to 130 ms seen under the thread checker. A doubled buffer
        // would also break the sine, which expectSineWithoutBreak checks.
        EXPECT_LT(kept, std::chrono::duration<double>(end.returned - start.called).count() + 0.15) << "nothing is added";
    }
};

// A server with a speaker and no microphone: its default source is the speaker's monitor.
class NoMicrophoneTest : public RecordingTest {
protected:
    Server::Options serverOptions() const override
    {
        Server::Options options { GetParam() };
        options.microphone = false;
        return options;
    }
};

} // namespace

TEST_P(RecordingTest, ThreeSecondsOfTheSineAreThreeSecondsLongAndWholeAndTheStreamIsTheApplications)
{
    AudioRecorder recorder;
    const auto called = Clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    const auto started = Clock::now();
    ASSERT_TRUE(runUntil([&] { return Clock::now() - started >= std::chrono::seconds(1); }, 5.0));
    auto streams = ourStreams(server().sourceOutputs());
    ASSERT_TRUE(runUntil([&] { return Clock::now() - started >= std::chrono::seconds(3); }, 5.0));
    const auto stopped = Clock::now();
    recorder.stop();
    const auto stopReturned = Clock::now();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 5.0));
    auto samples = recorded();
    expectKeptBetween(seconds(samples.size()), { called, started }, { stopped, stopReturned });
    expectSineWithoutBreak(samples.data(), samples.size());
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0]["application.name"], "Parlivo");
    EXPECT_EQ(streams[0]["application.icon_name"], kApplicationID);
    EXPECT_EQ(streams[0]["media.role"], "production");
    EXPECT_TRUE(interruptions().empty());
}

TEST_P(RecordingTest, EachPartOfARecordingAcrossAPauseIsWhole)
{
    AudioRecorder recorder;
    const auto called = Clock::now();
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    const auto started = Clock::now();
    runFor(1.0);
    const auto paused = Clock::now();
    recorder.pause();
    const auto pauseReturned = Clock::now();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 5.0));
    const std::size_t first = recorded().size();
    runFor(0.3);
    const auto resumeCalled = Clock::now();
    recorder.resume();
    ASSERT_TRUE(recorder.isRunning());
    const auto resumed = Clock::now();
    runFor(1.0);
    m_posted.clear();
    const auto stopped = Clock::now();
    recorder.stop();
    const auto stopReturned = Clock::now();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 5.0));
    auto samples = recorded();
    expectKeptBetween(seconds(first), { called, started }, { paused, pauseReturned });
    expectKeptBetween(seconds(samples.size() - first), { resumeCalled, resumed }, { stopped, stopReturned });
    expectSineWithoutBreak(samples.data(), first);
    expectSineWithoutBreak(samples.data() + first, samples.size() - first);
}

TEST_P(NoMicrophoneTest, WithoutAMicrophoneNothingIsRecordedUntilOneIsThere)
{
    foundation::LogCapture capture(true);
    std::string reason;
    EXPECT_FALSE(device().hasMicrophone(&reason));
    AudioRecorder recorder;
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    EXPECT_FALSE(recorder.isRunning());
    EXPECT_TRUE(recorder.noMicrophone());
    EXPECT_FALSE(foundation::fileExists(path(m_name))) << "no file of silence";
    EXPECT_TRUE(capture.containsFragment("Cannot open the microphone of sound server (")) << "the server's name";
    EXPECT_TRUE(capture.containsFragment("at 22050 Hz: no microphone (the only source is 'speaker.monitor', a monitor)"));

    // The device is asked again at every start.
    ASSERT_TRUE(server().loadMicrophone());
    recorder.recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder.isRunning());
    EXPECT_FALSE(recorder.noMicrophone());
    runFor(0.5);
    recorder.stop();
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, &recorder); }, 5.0));
    auto samples = recorded();
    EXPECT_NEAR(seconds(samples.size()), 0.5, 0.05);
    expectSineWithoutBreak(samples.data(), samples.size());
}

INSTANTIATE_TEST_SUITE_P(Servers, RecordingTest, ::testing::ValuesIn(installedServers()), serverName);
INSTANTIATE_TEST_SUITE_P(Servers, NoMicrophoneTest, ::testing::ValuesIn(installedServers()), serverName);
