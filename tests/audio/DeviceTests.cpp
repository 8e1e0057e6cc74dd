#include "AudioTestEnvironment.h"

#include <sys/stat.h>

#include "audio/File.h"
#include "audio/Queue.h"
#include "foundation/Log.h"

#include <atomic>
#include <chrono>
#include <mutex>

using namespace audio;
using testsupport::rampSamples;

namespace {

class DeviceTest : public testsupport::AudioTestEnvironment {
protected:
    std::string path(const std::string& name) { return documentsPath() + "/" + name; }

    void writeFile(const std::string& file, const std::vector<std::int16_t>& samples, double rate = 22050)
    {
        std::shared_ptr<File> out;
        ASSERT_EQ(File::create(file, kFileCAFType, linearPCM16(rate, 1), kFileFlagsEraseFile, &out), noErr);
        auto n = static_cast<std::uint32_t>(samples.size());
        ASSERT_EQ(out->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), noErr);
    }

    // Records `buffers` tenth-of-a-second buffers from the current device.
    std::vector<std::int16_t> record(int buffers, bool advanceClock = true)
    {
        std::mutex mutex;
        std::vector<std::int16_t> recorded;
        std::atomic<int> count { 0 };
        std::shared_ptr<Queue> queue;
        EXPECT_EQ(Queue::newInput(linearPCM16(22050, 1),
                      [&](Queue& q, Buffer* buffer, const TimeStamp&, std::uint32_t packets, const PacketDescription*) {
                          if (count >= buffers)
                              return;
                          const auto* data = static_cast<const std::int16_t*>(buffer->mAudioData);
                          {
                              std::lock_guard lock(mutex);
                              recorded.insert(recorded.end(), data, data + packets);
                          }
                          ++count;
                          q.enqueueBuffer(buffer);
                      },
                      &queue),
            noErr);
        for (int i = 0; i < 3; ++i) {
            Buffer* buffer = nullptr;
            queue->allocateBuffer(4410, &buffer);
            queue->enqueueBuffer(buffer);
        }
        queue->start();
        if (advanceClock)
            advance(0.1 * buffers);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (count < buffers && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        queue->dispose(true);
        std::lock_guard lock(mutex);
        return recorded;
    }
};

} // namespace

TEST_F(DeviceTest, MicrophonePlaysAFileThenSilenceAndTheSpeakerWritesAFile)
{
    auto samples = rampSamples(3000);
    writeFile(path("mic.caf"), samples);
    ASSERT_TRUE(device().setMicrophoneFile(path("mic.caf")));
    auto recorded = record(2);
    ASSERT_EQ(recorded.size(), 4410u);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), recorded.begin()));
    EXPECT_TRUE(std::all_of(recorded.begin() + 3000, recorded.end(), [](std::int16_t s) { return s == 0; }));

    ASSERT_TRUE(device().setSpeakerFile(path("speaker.wav")));
    std::shared_ptr<Queue> queue;
    ASSERT_EQ(Queue::newOutput(linearPCM16(22050, 1), nullptr, nullptr, &queue), noErr);
    Buffer* buffer = nullptr;
    queue->allocateBuffer(6000, &buffer);
    std::copy(samples.begin(), samples.end(), static_cast<std::int16_t*>(buffer->mAudioData));
    buffer->mAudioDataByteSize = 6000;
    queue->enqueueBuffer(buffer);
    queue->start();
    advance(0.2);
    queue->dispose(true);
    device().setSpeakerFile("");

    std::shared_ptr<File> written;
    ASSERT_EQ(File::open(path("speaker.wav"), FilePermission::Read, 0, &written), noErr);
    std::vector<std::int16_t> back(3000);
    std::uint32_t n = 3000;
    std::uint32_t bytes = 0;
    ASSERT_EQ(written->readPackets(false, &bytes, nullptr, 0, &n, back.data()), noErr);
    EXPECT_EQ(n, 3000u);
    EXPECT_EQ(back, samples);
    struct stat info {};
    ASSERT_EQ(::stat(path("speaker.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "what was played is the owner's only";
}

TEST_F(DeviceTest, UnpacedMicrophoneRunsAsFastAsItIsRead)
{
    device().setPacing(Pacing::Unpaced);
    device().setMicrophoneSamples(rampSamples(22050 * 3));
    auto started = runLoop().nowNanos();
    auto recorded = record(20, false);
    EXPECT_EQ(runLoop().nowNanos(), started) << "no clock time passed";
    ASSERT_GE(recorded.size(), 20 * 2205u);
    recorded.resize(20 * 2205);
    EXPECT_EQ(recorded, rampSamples(20 * 2205));
}

TEST_F(DeviceTest, ChoosingDevicesLogsWhatCannotBeUsed)
{
    foundation::LogCapture capture;
    DeviceChoice choice;
    choice.backend = DeviceChoice::Backend::Virtual;
    choice.microphoneFile = path("missing.caf");
    choice.speakerFile = path("no/such/dir/out.caf");
    auto chosen = useDevices(choice);
    EXPECT_EQ(chosen->name(), "virtual");
    EXPECT_EQ(currentDevice(), chosen);
    EXPECT_TRUE(capture.containsFragment("Cannot play " + choice.microphoneFile + " through the virtual microphone"));
    EXPECT_TRUE(capture.containsFragment("Cannot write the speaker's sound to " + choice.speakerFile));
    EXPECT_EQ(capture.lines().size(), 2u);
}
