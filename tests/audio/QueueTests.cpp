#include "AudioTestEnvironment.h"

#include "audio/Queue.h"

#include <mutex>
#include <thread>

using namespace audio;
using testsupport::toneSamples;

namespace {

struct InputRecord {
    std::int64_t clockNanos;
    std::thread::id thread;
    std::vector<std::int16_t> samples;
};

class QueueTest : public testsupport::AudioTestEnvironment {
protected:
    void TearDown() override
    {
        m_queue.reset();
        AudioTestEnvironment::TearDown();
    }

    // An input queue at 22050 Hz with three tenth-of-a-second buffers, recording into m_input.
    Queue& makeInput(double rate = 22050)
    {
        EXPECT_EQ(Queue::newInput(linearPCM16(rate, 1),
                      [this](Queue& queue, Buffer* buffer, const TimeStamp&, std::uint32_t packets, const PacketDescription*) {
                          const auto* data = static_cast<const std::int16_t*>(buffer->mAudioData);
                          std::lock_guard lock(m_mutex);
                          m_input.push_back({ runLoop().nowNanos(), std::this_thread::get_id(), { data, data + packets } });
                          if (m_reenqueue)
                              queue.enqueueBuffer(buffer);
                      },
                      &m_queue),
            noErr);
        for (int i = 0; i < 3; ++i)
            enqueueNew(static_cast<std::uint32_t>(rate / 10) * 2);
        return *m_queue;
    }

    // An output queue whose callback records the time and leaves the buffer alone.
    Queue& makeOutput(double rate = 22050)
    {
        EXPECT_EQ(Queue::newOutput(linearPCM16(rate, 1),
                      [this](Queue&, Buffer* buffer) {
                          m_returned.push_back({ runLoop().nowNanos(), std::this_thread::get_id(), {} });
                          m_returnedBuffers.push_back(buffer);
                      },
                      nullptr, &m_queue),
            noErr);
        return *m_queue;
    }

    Buffer* enqueueNew(std::uint32_t bytes, const std::vector<std::int16_t>& samples = {})
    {
        Buffer* buffer = nullptr;
        EXPECT_EQ(m_queue->allocateBuffer(bytes, &buffer), noErr);
        if (!samples.empty()) {
            std::copy(samples.begin(), samples.end(), static_cast<std::int16_t*>(buffer->mAudioData));
            buffer->mAudioDataByteSize = static_cast<std::uint32_t>(samples.size() * 2);
        }
        EXPECT_EQ(m_queue->enqueueBuffer(buffer), noErr);
        return buffer;
    }

    void listen()
    {
        m_queue->addPropertyListener(QueueProperty::IsRunning, this, [this](Queue& queue, QueueProperty) {
            std::uint32_t running = 0;
            std::uint32_t size = sizeof running;
            queue.getProperty(QueueProperty::IsRunning, &running, &size);
            m_changes.push_back({ running != 0, runLoop().nowNanos(), std::this_thread::get_id() });
        });
    }

    bool running()
    {
        std::uint32_t value = 0;
        std::uint32_t size = sizeof value;
        EXPECT_EQ(m_queue->getProperty(QueueProperty::IsRunning, &value, &size), noErr);
        return value != 0;
    }

    struct Change {
        bool running;
        std::int64_t nanos;
        std::thread::id thread;
    };

    std::shared_ptr<Queue> m_queue;
    std::mutex m_mutex;
    std::vector<InputRecord> m_input;
    bool m_reenqueue { true };
    std::vector<InputRecord> m_returned;
    std::vector<Buffer*> m_returnedBuffers;
    std::vector<Change> m_changes;
};

} // namespace

TEST_F(QueueTest, InputBuffersArriveOnTheServiceThreadAtEachBuffersTime)
{
    device().setMicrophoneTone(440, 0.5);
    auto& queue = makeInput();
    listen();
    ASSERT_EQ(queue.start(), noErr);
    EXPECT_TRUE(running());
    advance(0.35);

    ASSERT_EQ(m_input.size(), 3u);
    std::vector<std::int16_t> all;
    for (size_t i = 0; i < m_input.size(); ++i) {
        EXPECT_EQ(m_input[i].clockNanos, static_cast<std::int64_t>(i + 1) * 100'000'000);
        EXPECT_NE(m_input[i].thread, std::this_thread::get_id());
        EXPECT_EQ(m_input[i].thread, m_input[0].thread);
        EXPECT_EQ(m_input[i].samples.size(), 2205u);
        all.insert(all.end(), m_input[i].samples.begin(), m_input[i].samples.end());
    }
    EXPECT_EQ(all, toneSamples(440, 0.5, 22050, 6615));

    // The start reached the listener on the main thread, at the first turn of the loop.
    ASSERT_EQ(m_changes.size(), 1u);
    EXPECT_TRUE(m_changes[0].running);
    EXPECT_EQ(m_changes[0].nanos, 0);
    EXPECT_EQ(m_changes[0].thread, std::this_thread::get_id());

    ASSERT_EQ(queue.stop(true), noErr);
    EXPECT_FALSE(running());
    advance(0.5);
    EXPECT_EQ(m_input.size(), 3u) << "nothing is captured after a stop";
    ASSERT_EQ(m_changes.size(), 2u);
    EXPECT_FALSE(m_changes[1].running);
}

TEST_F(QueueTest, InputWithoutAQueuedBufferLosesThatStretchOfSound)
{
    device().setMicrophoneTone(1000, 1.0);
    auto& queue = makeInput();
    m_reenqueue = false;
    queue.start();
    advance(0.5);
    ASSERT_EQ(m_input.size(), 3u);
    EXPECT_EQ(device().microphoneFramesRead(), 5 * 2205);

    // Pausing holds the microphone: nothing is read while paused.
    queue.pause();
    EXPECT_TRUE(running());
    advance(1.0);
    EXPECT_EQ(device().microphoneFramesRead(), 5 * 2205);
    queue.start();
    enqueueNew(4410);
    advance(0.1);
    ASSERT_EQ(m_input.size(), 4u);
    EXPECT_EQ(m_input[3].clockNanos, 1'600'000'000);
    EXPECT_EQ(m_input[3].samples, toneSamples(1000, 1.0, 22050, 2205, 5 * 2205));
}

TEST_F(QueueTest, RunningChangesAreDeliveredOncePerChangeOnTheMainLoop)
{
    auto& queue = makeInput();
    listen();
    // A stop of a queue that never ran changes nothing and is not delivered.
    queue.stop(true);
    advance(0.05);
    EXPECT_TRUE(m_changes.empty());

    // Started and stopped within one turn: the stop is still delivered, once.
    queue.start();
    queue.stop(true);
    advance(0.05);
    ASSERT_EQ(m_changes.size(), 1u);
    EXPECT_FALSE(m_changes[0].running);

    // Pause and resume keep the queue running: nothing to deliver.
    queue.start();
    queue.pause();
    queue.start();
    advance(0.05);
    ASSERT_EQ(m_changes.size(), 2u);
    EXPECT_TRUE(m_changes[1].running);

    // Disposed: later changes reach nobody and calls are refused.
    queue.dispose(true);
    advance(0.05);
    EXPECT_EQ(m_changes.size(), 2u);
    EXPECT_EQ(queue.start(), kQueueDisposedError);
}

TEST_F(QueueTest, OutputPlaysBuffersInOrderAndReturnsThemOnTheMainLoopAsTheyEnd)
{
    auto& queue = makeOutput();
    listen();
    auto first = toneSamples(300, 0.8, 22050, 2205);
    auto second = toneSamples(500, 0.8, 22050, 1102);
    enqueueNew(4410, first);
    enqueueNew(4410, second);
    queue.start();
    queue.stop(false);
    EXPECT_TRUE(running());
    advance(0.1);
    ASSERT_EQ(m_returned.size(), 1u);
    EXPECT_EQ(m_returned[0].clockNanos, 100'000'000);
    EXPECT_EQ(m_returned[0].thread, std::this_thread::get_id());
    EXPECT_TRUE(running());
    advance(0.1);
    ASSERT_EQ(m_returned.size(), 2u);
    EXPECT_EQ(m_returned[1].clockNanos, 149'977'324) << "the second buffer lasts 1102 frames";
    EXPECT_FALSE(running()) << "the requested stop came once everything queued had played";

    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(device().speakerSamples(), expected);
    ASSERT_EQ(m_changes.size(), 2u);
    EXPECT_TRUE(m_changes[0].running);
    EXPECT_FALSE(m_changes[1].running);
}

TEST_F(QueueTest, OutputPauseKeepsTheRestOfTheBufferAndStopDropsWhatIsQueued)
{
    auto& queue = makeOutput();
    auto sound = toneSamples(300, 0.8, 22050, 2205);
    enqueueNew(4410, sound);
    Buffer* second = enqueueNew(4410, sound);
    queue.start();
    advance(0.04);
    queue.pause();
    advance(1.0);
    EXPECT_TRUE(m_returned.empty());
    queue.start();
    advance(0.059);
    EXPECT_TRUE(m_returned.empty());
    advance(0.001);
    ASSERT_EQ(m_returned.size(), 1u);
    EXPECT_EQ(m_returned[0].clockNanos, 1'100'000'000);

    queue.stop(true);
    advance(1.0);
    EXPECT_EQ(m_returned.size(), 1u);
    EXPECT_EQ(device().speakerSamples().size(), 2205u);
    // The dropped buffer is free to be queued again, once.
    EXPECT_EQ(queue.enqueueBuffer(second), noErr);
    EXPECT_EQ(queue.enqueueBuffer(second), kQueueInvalidBufferError);
    Buffer* empty = nullptr;
    queue.allocateBuffer(100, &empty);
    EXPECT_EQ(queue.enqueueBuffer(empty), kQueueBufferEmptyError);
}

TEST_F(QueueTest, LevelsAreTheRootMeanSquareAndPeakOfTheLastBuffer)
{
    auto& queue = makeInput();
    LevelMeterState level;
    std::uint32_t size = sizeof level;
    EXPECT_EQ(queue.getProperty(QueueProperty::CurrentLevelMeter, &level, &size), kQueueInvalidPropertyError);
    std::uint32_t on = 1;
    ASSERT_EQ(queue.setProperty(QueueProperty::EnableLevelMetering, &on, sizeof on), noErr);

    device().setMicrophoneTone(1001, 1.0);
    queue.start();
    advance(0.1);
    ASSERT_EQ(queue.getProperty(QueueProperty::CurrentLevelMeter, &level, &size), noErr);
    EXPECT_NEAR(level.mAveragePower, 0.7071, 0.001);
    EXPECT_NEAR(level.mPeakPower, 1.0, 0.001);

    device().setMicrophoneSilence();
    advance(0.1);
    ASSERT_EQ(queue.getProperty(QueueProperty::CurrentLevelMeter, &level, &size), noErr);
    EXPECT_EQ(level.mAveragePower, 0.0f);
    EXPECT_EQ(level.mPeakPower, 0.0f);
}

TEST_F(QueueTest, VolumeScalesWhatTheSpeakerPlays)
{
    auto& queue = makeOutput();
    EXPECT_EQ(queue.setParameter(QueueParameter::Volume, 1.5f), kQueueInvalidParameterError);
    ASSERT_EQ(queue.setParameter(QueueParameter::Volume, 0.5f), noErr);
    enqueueNew(8, { 1000, -2000, 32767, 3 });
    queue.start();
    advance(0.1);
    EXPECT_EQ(device().speakerSamples(), (std::vector<std::int16_t> { 500, -1000, 16384, 2 }));
}

TEST_F(QueueTest, FormatsOtherThan16BitLinearPCMAreRefused)
{
    auto stereo = linearPCM16(44100, 2);
    ASSERT_EQ(Queue::newOutput(stereo, nullptr, nullptr, &m_queue), noErr);
    StreamBasicDescription format;
    std::uint32_t size = sizeof format;
    EXPECT_EQ(m_queue->getProperty(QueueProperty::StreamDescription, &format, &size), noErr);
    EXPECT_EQ(format, stereo);
    EXPECT_EQ(m_queue->getPropertySize(QueueProperty::MagicCookie, &size), noErr);
    EXPECT_EQ(size, 0u);

    auto floating = stereo;
    floating.mFormatFlags = kFormatFlagIsFloat;
    std::shared_ptr<Queue> refused;
    EXPECT_EQ(Queue::newInput(floating, nullptr, &refused), kQueueUnsupportedFormatError);
    EXPECT_EQ(Queue::newInput(linearPCM16(0, 1), nullptr, &refused), kQueueUnsupportedFormatError);
    EXPECT_EQ(refused, nullptr);
}
