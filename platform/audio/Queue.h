#pragma once

#include "audio/Device.h"
#include "audio/Types.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace foundation {
class RunLoop;
class Timer;
}

namespace audio {

/// A buffer of a queue: the platform's buffer record. The queue owns the memory; a buffer
/// stays valid until its queue is destroyed.
struct Buffer {
    std::uint32_t mAudioDataBytesCapacity { 0 };
    void* mAudioData { nullptr };
    std::uint32_t mAudioDataByteSize { 0 };
    /// Free for the owner's use.
    std::intptr_t mUserData { 0 };
};

enum class QueueProperty : std::uint32_t {
    /// 32-bit unsigned, read-only: 1 while the queue runs (a paused queue still runs).
    IsRunning = fourCharCode("aqrn"),
    /// 32-bit unsigned: 1 to measure levels.
    EnableLevelMetering = fourCharCode("aqme"),
    /// LevelMeterState per channel, read-only; fewer channels may be asked for.
    CurrentLevelMeter = fourCharCode("aqmv"),
    /// StreamBasicDescription, read-only.
    StreamDescription = fourCharCode("aqft"),
    /// Opaque bytes; linear PCM has none (size 0).
    MagicCookie = fourCharCode("aqmc"),
};

enum class QueueParameter : std::uint32_t {
    /// Output gain, 0 to 1 (1 by default).
    Volume = 1,
};

/// An audio queue: buffers of 16-bit linear PCM flowing between the owner and a device.
///
/// An input queue fills the buffers enqueued to it with what the microphone captures and
/// hands each full buffer to its callback on the queue's service thread (one thread per
/// queue); the owner enqueues it again to keep recording. An output queue plays the buffers
/// enqueued to it in order and hands each played buffer back to its callback on the run loop
/// given at creation.
///
/// Threads: start, pause, stop and dispose are called on the run loop's thread (stop and
/// dispose also from the queue's own callbacks); enqueueBuffer and the property reads from
/// any thread. stop() and dispose() return only after a running callback has finished
/// (unless called from that callback). Running-state listeners are called on the main run
/// loop, once per change of the running state; a stop that happens before its start was
/// delivered is still delivered as a stop. A disposed queue calls nothing any more.
class Queue : public std::enable_shared_from_this<Queue> {
public:
    using InputCallback = std::function<void(Queue& queue, Buffer* buffer, const TimeStamp& startTime,
        std::uint32_t numPackets, const PacketDescription* packetDescriptions)>;
    using OutputCallback = std::function<void(Queue& queue, Buffer* buffer)>;
    using PropertyListener = std::function<void(Queue& queue, QueueProperty property)>;

    /// Makes an input queue on the current device. The format must be 16-bit linear PCM
    /// (kQueueUnsupportedFormatError otherwise); *outQueue stays null on failure.
    static Status newInput(const StreamBasicDescription& format, InputCallback callback, std::shared_ptr<Queue>* outQueue);
    /// Makes an output queue on the current device whose callbacks run on runLoop (the main
    /// run loop when null), playing on route: the earpiece only when the device has one, and
    /// on the default output, with a log line, when the earpiece refuses the stream. purpose
    /// tells the device what plays (a memo, or a system sound).
    static Status newOutput(const StreamBasicDescription& format, OutputCallback callback, foundation::RunLoop* runLoop,
        std::shared_ptr<Queue>* outQueue, OutputRoute route = OutputRoute::Default, OutputPurpose purpose = OutputPurpose::Memo);

    /// Disposes of the queue if that was not done.
    ~Queue();
    Queue(const Queue&) = delete;
    Queue& operator=(const Queue&) = delete;

    /// A buffer of byteSize bytes (0 gives kQueueBufferEmptyError), not yet enqueued.
    Status allocateBuffer(std::uint32_t byteSize, Buffer** outBuffer);
    /// Queues a buffer of this queue: an output buffer to play its mAudioDataByteSize bytes,
    /// an input buffer to be filled. A foreign or already queued buffer gives
    /// kQueueInvalidBufferError; an empty output buffer kQueueBufferEmptyError.
    Status enqueueBuffer(Buffer* buffer, std::uint32_t numPacketDescriptions = 0,
        const PacketDescription* packetDescriptions = nullptr);

    /// Starts, or resumes a paused queue. Starting a running queue does nothing.
    Status start();
    /// Holds the queue where it is; it keeps reporting running. A paused output queue goes on
    /// from the last sample heard; an input queue first hands over what it captured.
    Status pause();
    /// immediate: an output queue stops now and queued output is dropped. Otherwise it stops
    /// once everything queued has been played by the device (also when the request comes
    /// before start). An input queue stops at once, after handing over what was captured,
    /// the part of a buffer being filled included.
    Status stop(bool immediate);
    /// Stops without telling the running-state listeners and releases the device; later calls
    /// give kQueueDisposedError. Buffers stay valid until the queue is destroyed.
    Status dispose(bool immediate);

    /// Output: the frames heard since the queue last started, to within one device period (a
    /// pause holds it). Input queues give 0.
    Status getCurrentTime(TimeStamp* outTime) const;
    Status getProperty(QueueProperty property, void* outData, std::uint32_t* ioSize) const;
    Status getPropertySize(QueueProperty property, std::uint32_t* outSize) const;
    /// Only EnableLevelMetering can be set.
    Status setProperty(QueueProperty property, const void* data, std::uint32_t size);
    Status setParameter(QueueParameter parameter, float value);
    Status getParameter(QueueParameter parameter, float* outValue) const;

    /// Calls listener on the main run loop whenever the running state changed. owner
    /// identifies the registration for removal. Only IsRunning has listeners.
    Status addPropertyListener(QueueProperty property, const void* owner, PropertyListener listener);
    Status removePropertyListener(QueueProperty property, const void* owner);

    bool isInput() const { return m_input; }
    const StreamBasicDescription& format() const { return m_format; }

private:
    struct OwnedBuffer;
    struct Listener {
        const void* owner;
        PropertyListener listener;
    };

    Queue(bool input, const StreamBasicDescription& format, foundation::RunLoop* runLoop);
    static Status make(bool input, const StreamBasicDescription& format, foundation::RunLoop* runLoop, OutputRoute route,
        OutputPurpose purpose, std::shared_ptr<Queue>* outQueue);

    Pacing pacing() const;
    OwnedBuffer* findLocked(const Buffer* buffer);
    std::int64_t durationNanos(std::uint32_t bytes) const;
    void measure(const Buffer& buffer);
    void updateLevelsLocked() const;
    void deliverInput(OwnedBuffer* owned, std::uint32_t frames);
    void setRunningLocked(bool running);
    void postRunningChange();
    void deliverRunningChange();
    void haltLocked(std::unique_lock<std::mutex>& lock);
    void waitUntilIdleLocked(std::unique_lock<std::mutex>& lock);
    bool onServiceThread() const;
    bool onRunLoopThread() const;
    void cancelTimer();

    // Input.
    void scheduleInputTimer();
    void inputThreadMain();
    void finishCaptureLocked(std::unique_lock<std::mutex>& lock);
    void deviceLostLocked(std::unique_lock<std::mutex>& lock, const std::string& failure);

    // Output.
    void kickOutput(bool deferDrain = false);
    void finishDrainLocked(std::unique_lock<std::mutex>& lock);
    void outputTick(std::uint64_t generation);
    std::size_t play(OwnedBuffer* owned);
    void outputThreadMain();
    void returnBuffer(Buffer* buffer);

    const bool m_input;
    const StreamBasicDescription m_format;
    foundation::RunLoop* const m_runLoop;
    foundation::RunLoop* const m_mainLoop;
    InputCallback m_inputCallback;
    OutputCallback m_outputCallback;
    std::unique_ptr<InputStream> m_inputStream;
    std::unique_ptr<OutputStream> m_outputStream;

    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    std::vector<std::unique_ptr<OwnedBuffer>> m_buffers;
    std::deque<OwnedBuffer*> m_queued;
    std::atomic<bool> m_running { false };
    bool m_paused { false };
    bool m_drainPending { false };
    bool m_disposed { false };
    bool m_streamStarted { false };
    bool m_finishingCapture { false };
    bool m_lost { false };
    std::int64_t m_framesPlayed { 0 };
    std::uint64_t m_generation { 0 };
    std::uint64_t m_startCount { 0 };
    std::uint64_t m_stopCount { 0 };

    // The audio thread: the input queue's service thread, or the output queue's device
    // thread under Device pacing.
    std::thread m_thread;
    bool m_threadExit { false };
    bool m_busy { false };
    bool m_tickPending { false };
    std::uint32_t m_tickFrames { 0 };

    // Run-loop pacing (touched on the run loop's thread only).
    std::shared_ptr<foundation::Timer> m_timer;
    bool m_outputScheduled { false };
    std::int64_t m_tickStartNanos { 0 };
    std::int64_t m_tickElapsedNanos { 0 };

    double m_sampleTime { 0 }; // service thread only

    bool m_metering { false };
    std::vector<std::int16_t> m_lastBuffer;
    mutable bool m_levelsStale { false };
    mutable std::vector<LevelMeterState> m_levels;
    float m_volume { 1.0f };

    // Listener bookkeeping (main run loop only).
    std::vector<Listener> m_listeners;
    std::uint64_t m_deliveredStarts { 0 };
    std::uint64_t m_deliveredStops { 0 };
};

} // namespace audio
