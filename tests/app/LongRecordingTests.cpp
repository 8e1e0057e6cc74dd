// A long recording with the virtual microphone unpaced: filed with its whole length, played
// from a minute before its end and after a seek, and recorded without the recorder's memory
// growing with the length. The suite records a few minutes of sound; scripts/soak records
// ten hours through the same code (PARLIVO_SOAK_HOURS).
#include "AudioEngineTest.h"

#include "AudioPlayer.h"
#include "AudioRecorder.h"
#include "Recording.h"
#include "RecordingLibrary.h"

#include "foundation/RunLoop.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

using testsupport::toneSamples;

namespace {

constexpr double kRate = 22050;

// Resident memory of this process in bytes.
std::int64_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::int64_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMeasuresMemory = false; // the sanitizer's quarantine grows with every free
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMeasuresMemory = false;
#else
constexpr bool kMeasuresMemory = true;
#endif
#else
constexpr bool kMeasuresMemory = true;
#endif

class LongRecordingTest : public AudioEngineTest {
protected:
    void TearDown() override
    {
        // The next test in this process starts with a library of its own.
        RecordingLibrary::resetSharedLibrary();
        AudioEngineTest::TearDown();
    }

    static double hours()
    {
        const char* chosen = std::getenv("PARLIVO_SOAK_HOURS");
        double value = chosen ? std::atof(chosen) : 0;
        return value > 0 ? value : 0.05;
    }

    /// Plays the file from seconds on until the player has played frames, and answers what
    /// the speaker got.
    std::vector<std::int16_t> playFrom(double seconds, std::size_t frames)
    {
        device().clearSpeakerSamples();
        AudioPlayer player;
        player.playFromFileStartingAtPosition(m_name, seconds);
        EXPECT_TRUE(player.isRunning());
        runUntil([&] { return device().speakerSamples().size() >= frames || posted(PRLVNotificationAudioQueueDidStop, &player); }, 60);
        player.stop();
        auto samples = device().speakerSamples();
        samples.resize(std::min(samples.size(), frames));
        return samples;
    }

    /// The microphone's tone from frame on (it repeats every second).
    static std::vector<std::int16_t> toneFrom(std::int64_t frame, std::size_t count)
    {
        auto period = toneSamples(440, 0.5, 22050, 22050 + count);
        const auto start = static_cast<std::size_t>(frame % 22050);
        return { period.begin() + static_cast<long>(start), period.begin() + static_cast<long>(start + count) };
    }
};

} // namespace

TEST_F(LongRecordingTest, HoursOfSoundAreFiledWholePlayFromTheirLastMinuteAndSeekWithoutTheRecorderGrowing)
{
    foundation::RunLoop::resetMain(std::make_shared<foundation::SystemClock>());
    device().setPacing(audio::Pacing::Unpaced);
    device().setSpeakerCapturesToMemory(true);
    device().setMicrophoneTone(440, 0.5);
    auto recording = RecordingLibrary::sharedLibrary().newRecording();
    ASSERT_TRUE(recording);
    const_cast<std::string&>(m_name) = recording->audioFileName();

    const auto target = static_cast<std::int64_t>(hours() * 3600 * kRate);
    auto recorder = std::make_shared<AudioRecorder>();
    recorder->recordToFileWithRecordMode(m_name, RecordModeNew);
    ASSERT_TRUE(recorder->isRunning());
    auto recordUntil = [&](std::int64_t packets) {
        while (recorder->startingPacketNumber() < packets && recorder->isRunning() && !recorder->writeFailed())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    // Memory once the recorder has settled (a tenth of the way) and at the end.
    recordUntil(target / 10);
    const std::int64_t early = residentBytes();
    recordUntil(target);
    const std::int64_t late = residentBytes();
    recorder->stop();
    ASSERT_FALSE(recorder->writeFailed());
    ASSERT_TRUE(runUntil([&] { return posted(PRLVNotificationAudioQueueDidStop, recorder.get()); }, 30));
    const std::int64_t packets = recorder->startingPacketNumber();
    ASSERT_GE(packets, target);
    if (kMeasuresMemory) {
        EXPECT_LT(late - early, 8 << 20) << "resident memory grew from " << early << " to " << late << " bytes";
    }
    std::printf("[ figures  ] %.2f h recorded; resident memory %.1f MB at a tenth, %.1f MB at the end\n", static_cast<double>(packets) / kRate / 3600,
        static_cast<double>(early) / (1 << 20), static_cast<double>(late) / (1 << 20));

    // Filed with the whole length of the closed file, as the studio files it.
    recorder.reset();
    auto duration = HelperMethods::audioFileDuration(m_name);
    ASSERT_TRUE(duration);
    EXPECT_EQ(*duration, static_cast<double>(packets) / kRate);
    recording->setLength(static_cast<float>(*duration));
    recording->setLocation(1);
    recording->save();
    EXPECT_FALSE(recording->isDirty());
    EXPECT_NEAR(recording->length(), static_cast<double>(packets) / kRate, 0.01);

    // The last minute plays from its place (9:59:00 of ten hours), and so does a seek back.
    const double lastMinute = static_cast<double>(packets) / kRate - 60;
    const auto lastMinuteFrame = static_cast<std::int64_t>(lastMinute * kRate);
    EXPECT_EQ(playFrom(lastMinute, 4410), toneFrom(lastMinuteFrame, 4410));
    const double middle = std::floor(static_cast<double>(packets) / kRate / 2) + 0.25;
    EXPECT_EQ(playFrom(middle, 4410), toneFrom(static_cast<std::int64_t>(middle * kRate), 4410));
}
