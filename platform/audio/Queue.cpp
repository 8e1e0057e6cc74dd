#include "audio/Queue.h"

#include "audio/Session.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {

struct Queue::OwnedBuffer {
    Buffer buffer;
    std::vector<std::int16_t> storage;
    bool queued { false };
};

Queue::Queue(bool input, const StreamBasicDescription& format, foundation::RunLoop* runLoop)
    : m_input(input)
    , m_format(format)
    , m_runLoop(runLoop ? runLoop : &foundation::RunLoop::main())
    , m_mainLoop(&foundation::RunLoop::main())
    , m_levels(format.mChannelsPerFrame)
{
}

Queue::~Queue()
{
    dispose(true);
}

Status Queue::make(bool input, const StreamBasicDescription& format, foundation::RunLoop* runLoop, OutputRoute route,
    OutputPurpose purpose, std::shared_ptr<Queue>* outQueue)
{
    if (!outQueue)
        return kQueueInvalidParameterError;
    outQueue->reset();
    if (!isLinearPCM16(format))
        return kQueueUnsupportedFormatError;
    auto device = currentDevice();
    Status status = noErr;
    std::string reason;
    std::unique_ptr<InputStream> inputStream;
    std::unique_ptr<OutputStream> outputStream;
    if (input) {
        inputStream = device->openInput(format, &status, &reason);
    } else if (route == OutputRoute::Earpiece && device->hasEarpiece()) {
        outputStream = device->openEarpiece(format, &status, &reason);
        // Sound on the loudspeaker is better than none.
        if (!outputStream) {
            foundation::logf("Cannot open the earpiece of %s at %g Hz: %s; playing on the speaker", device->name().c_str(),
                format.mSampleRate, reason.empty() ? "the device refused" : reason.c_str());
            reason.clear();
            outputStream = device->openOutputFor(purpose, format, &status, &reason);
        }
    } else {
        outputStream = device->openOutputFor(purpose, format, &status, &reason);
    }
    // A queue exists only with its stream, so nothing ever stops a stream that never opened.
    if (!inputStream && !outputStream) {
        foundation::logf("Cannot open the %s of %s at %g Hz: %s", input ? "microphone" : "speaker", device->name().c_str(),
            format.mSampleRate, reason.empty() ? "the device refused" : reason.c_str());
        return status != noErr ? status : kQueueDeviceError;
    }
    auto queue = std::shared_ptr<Queue>(new Queue(input, format, runLoop));
    queue->m_inputStream = std::move(inputStream);
    queue->m_outputStream = std::move(outputStream);
    *outQueue = std::move(queue);
    return noErr;
}

Status Queue::newInput(const StreamBasicDescription& format, InputCallback callback, std::shared_ptr<Queue>* outQueue)
{
    Status status = make(true, format, nullptr, OutputRoute::Default, OutputPurpose::Memo, outQueue);
    if (status == noErr)
        (*outQueue)->m_inputCallback = std::move(callback);
    return status;
}

Status Queue::newOutput(const StreamBasicDescription& format, OutputCallback callback, foundation::RunLoop* runLoop,
    std::shared_ptr<Queue>* outQueue, OutputRoute route, OutputPurpose purpose)
{
    Status status = make(false, format, runLoop, route, purpose, outQueue);
    if (status == noErr)
        (*outQueue)->m_outputCallback = std::move(callback);
    return status;
}

Pacing Queue::pacing() const
{
    return m_input ? m_inputStream->pacing() : m_outputStream->pacing();
}

Queue::OwnedBuffer* Queue::findLocked(const Buffer* buffer)
{
    for (auto& owned : m_buffers) {
        if (&owned->buffer == buffer)
            return owned.get();
    }
    return nullptr;
}

std::int64_t Queue::durationNanos(std::uint32_t bytes) const
{
    double frames = static_cast<double>(bytes / m_format.mBytesPerFrame);
    return std::llround(frames * 1e9 / m_format.mSampleRate);
}

bool Queue::onServiceThread() const
{
    return m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id();
}

bool Queue::onRunLoopThread() const
{
    return m_runLoop->isCurrentThread();
}

Status Queue::allocateBuffer(std::uint32_t byteSize, Buffer** outBuffer)
{
    if (!outBuffer)
        return kQueueInvalidParameterError;
    *outBuffer = nullptr;
    if (byteSize == 0)
        return kQueueBufferEmptyError;
    std::lock_guard lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    auto owned = std::make_unique<OwnedBuffer>();
    owned->storage.resize((byteSize + 1) / 2);
    owned->buffer.mAudioDataBytesCapacity = byteSize;
    owned->buffer.mAudioData = owned->storage.data();
    *outBuffer = &owned->buffer;
    m_buffers.push_back(std::move(owned));
    return noErr;
}

Status Queue::enqueueBuffer(Buffer* buffer, std::uint32_t, const PacketDescription*)
{
    std::unique_lock lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    OwnedBuffer* owned = findLocked(buffer);
    if (!owned || owned->queued)
        return kQueueInvalidBufferError;
    if (!m_input && buffer->mAudioDataByteSize == 0)
        return kQueueBufferEmptyError;
    if (!m_input && buffer->mAudioDataByteSize > buffer->mAudioDataBytesCapacity)
        return kQueueInvalidBufferError;
    owned->queued = true;
    m_queued.push_back(owned);
    m_condition.notify_all();
    if (m_input || pacing() == Pacing::Device)
        return noErr;
    lock.unlock();
    if (onRunLoopThread()) {
        kickOutput();
    } else {
        std::weak_ptr<Queue> weak = weak_from_this();
        m_runLoop->post([weak] {
            if (auto queue = weak.lock())
                queue->kickOutput();
        });
    }
    return noErr;
}

Status Queue::start()
{
    std::unique_lock lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    if (m_running && !m_paused)
        return noErr;
    bool resuming = m_running;
    m_paused = false;
    if (resuming && !m_input && m_streamStarted && pacing() == Pacing::Device) {
        // A paused device stream kept what it held: it goes on from the last sample heard.
        m_outputStream->setPaused(false);
        m_condition.notify_all();
        return noErr;
    }
    ++m_generation;
    if (!m_streamStarted) {
        m_lost = false;
        Status status = m_input ? m_inputStream->start() : m_outputStream->start();
        if (status != noErr) {
            std::string failure = m_input ? m_inputStream->failure() : m_outputStream->failure();
            foundation::logf("Cannot start the %s of %s: %s", m_input ? "microphone" : "speaker", currentDevice()->name().c_str(),
                failure.empty() ? "the device refused" : failure.c_str());
            return kQueueDeviceError;
        }
        m_streamStarted = true;
        if (!resuming)
            m_framesPlayed = 0;
    }
    if (!resuming)
        setRunningLocked(true);
    Pacing mode = pacing();
    if (m_input || mode == Pacing::Device) {
        if (!m_thread.joinable() && !m_threadExit)
            m_thread = std::thread(m_input ? &Queue::inputThreadMain : &Queue::outputThreadMain, this);
        m_condition.notify_all();
        if (!m_input || mode != Pacing::RunLoop)
            return noErr;
        lock.unlock();
        scheduleInputTimer();
        return noErr;
    }
    lock.unlock();
    kickOutput(true);
    return noErr;
}

Status Queue::pause()
{
    std::unique_lock lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    if (!m_running || m_paused)
        return noErr;
    m_paused = true;
    if (!m_input && m_streamStarted && pacing() == Pacing::Device) {
        // The stream plays silence and keeps what it holds; the audio thread waits.
        m_outputStream->setPaused(true);
        return noErr;
    }
    if (m_input)
        finishCaptureLocked(lock);
    ++m_generation;
    if (!m_input && m_outputScheduled) {
        m_tickElapsedNanos += m_runLoop->nowNanos() - m_tickStartNanos;
        m_outputScheduled = false;
    }
    haltLocked(lock);
    return noErr;
}

Status Queue::stop(bool immediate)
{
    std::unique_lock lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    if (!immediate && !m_input) {
        m_drainPending = true;
        if (!m_running)
            return noErr;
        m_condition.notify_all();
        if (pacing() == Pacing::Device)
            return noErr;
        lock.unlock();
        kickOutput();
        return noErr;
    }
    if (m_input)
        finishCaptureLocked(lock);
    m_drainPending = false;
    m_paused = false;
    ++m_generation;
    haltLocked(lock);
    if (!m_input) {
        for (OwnedBuffer* owned : m_queued)
            owned->queued = false;
        m_queued.clear();
        m_outputScheduled = false;
        m_tickElapsedNanos = 0;
    }
    setRunningLocked(false);
    return noErr;
}

Status Queue::dispose(bool)
{
    std::unique_lock lock(m_mutex);
    if (m_disposed)
        return noErr;
    m_disposed = true;
    m_threadExit = true;
    m_running = false;
    m_paused = false;
    ++m_generation;
    haltLocked(lock);
    m_listeners.clear();
    std::thread thread = std::move(m_thread);
    lock.unlock();
    m_condition.notify_all();
    if (thread.joinable()) {
        // Disposed from its own callback: the thread ends by itself once the callback returns.
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
    return noErr;
}

// Stops device activity: wakes a blocked read or write, waits for a running callback and
// stops the stream. Called with the lock held, after the generation moved on.
void Queue::haltLocked(std::unique_lock<std::mutex>& lock)
{
    // Cleared first: the audio thread takes no further buffer once it is.
    bool streamStarted = m_streamStarted;
    m_streamStarted = false;
    if (m_input)
        m_inputStream->interrupt();
    else
        m_outputStream->interrupt();
    m_condition.notify_all();
    waitUntilIdleLocked(lock);
    if (streamStarted) {
        if (m_input)
            m_inputStream->stop();
        else
            m_outputStream->stop();
    }
    if (onRunLoopThread()) {
        lock.unlock();
        cancelTimer();
        lock.lock();
    }
}

void Queue::waitUntilIdleLocked(std::unique_lock<std::mutex>& lock)
{
    if (onServiceThread())
        return;
    m_condition.wait(lock, [&] { return !m_busy && !m_tickPending; });
}

void Queue::cancelTimer()
{
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

void Queue::setRunningLocked(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    if (running)
        ++m_startCount;
    else
        ++m_stopCount;
    postRunningChange();
}

void Queue::postRunningChange()
{
    std::weak_ptr<Queue> weak = weak_from_this();
    m_mainLoop->post([weak] {
        if (auto queue = weak.lock())
            queue->deliverRunningChange();
    });
}

void Queue::deliverRunningChange()
{
    std::vector<Listener> listeners;
    {
        std::lock_guard lock(m_mutex);
        if (m_disposed)
            return;
        bool changed = m_running ? m_startCount != m_deliveredStarts : m_stopCount != m_deliveredStops;
        m_deliveredStarts = m_startCount;
        m_deliveredStops = m_stopCount;
        if (!changed)
            return;
        listeners = m_listeners;
    }
    for (auto& entry : listeners) {
        {
            std::lock_guard lock(m_mutex);
            bool stillRegistered = std::any_of(m_listeners.begin(), m_listeners.end(),
                [&](const Listener& l) { return l.owner == entry.owner; });
            if (m_disposed || !stillRegistered)
                return;
        }
        entry.listener(*this, QueueProperty::IsRunning);
    }
}

// Keeps a copy of the buffer; the levels are worked out when someone reads them, which a
// level meter does a few times a second while buffers pass many times more often.
void Queue::measure(const Buffer& buffer)
{
    const auto* samples = static_cast<const std::int16_t*>(buffer.mAudioData);
    std::size_t count = buffer.mAudioDataByteSize / sizeof(std::int16_t);
    std::lock_guard lock(m_mutex);
    if (!m_metering)
        return;
    m_lastBuffer.assign(samples, samples + count);
    m_levelsStale = true;
}

void Queue::updateLevelsLocked() const
{
    if (!m_levelsStale)
        return;
    m_levelsStale = false;
    std::uint32_t channels = m_format.mChannelsPerFrame;
    std::size_t frames = m_lastBuffer.size() / channels;
    m_levels.assign(channels, LevelMeterState {});
    if (frames == 0)
        return;
    for (std::uint32_t c = 0; c < channels; ++c) {
        std::int64_t sum = 0;
        std::int32_t peak = 0;
        for (std::size_t f = 0; f < frames; ++f) {
            std::int32_t value = m_lastBuffer[f * channels + c];
            sum += value * value;
            peak = std::max(peak, value < 0 ? -value : value);
        }
        m_levels[c].mAveragePower = static_cast<float>(std::sqrt(static_cast<double>(sum) / static_cast<double>(frames)) / 32768.0);
        m_levels[c].mPeakPower = static_cast<float>(peak / 32768.0);
    }
}

// ---- Input ----

void Queue::scheduleInputTimer()
{
    std::int64_t nanos;
    std::uint64_t generation;
    {
        std::lock_guard lock(m_mutex);
        std::uint32_t bytes = m_queued.empty() ? static_cast<std::uint32_t>(m_format.mSampleRate / 10) * m_format.mBytesPerFrame
                                               : m_queued.front()->buffer.mAudioDataBytesCapacity;
        m_tickFrames = std::max<std::uint32_t>(bytes / m_format.mBytesPerFrame, 1);
        nanos = durationNanos(m_tickFrames * m_format.mBytesPerFrame);
        generation = m_generation;
    }
    cancelTimer();
    std::weak_ptr<Queue> weak = weak_from_this();
    m_timer = m_mainLoop->scheduleTimer(foundation::nanosToSeconds(nanos), true, [weak, generation](foundation::Timer& timer) {
        auto queue = weak.lock();
        if (!queue) {
            timer.invalidate();
            return;
        }
        std::unique_lock lock(queue->m_mutex);
        if (generation != queue->m_generation || !queue->m_running || queue->m_disposed) {
            timer.invalidate();
            return;
        }
        // Hands the buffer to the service thread and waits, so the callback has run by the
        // time this tick returns.
        queue->m_tickPending = true;
        queue->m_condition.notify_all();
        queue->m_condition.wait(lock, [&] { return !queue->m_tickPending || queue->m_threadExit; });
    });
}

void Queue::inputThreadMain()
{
    std::vector<std::int16_t> dropped;
    std::unique_lock lock(m_mutex);
    const bool ticked = pacing() == Pacing::RunLoop;
    for (;;) {
        m_condition.wait(lock, [&] {
            return m_threadExit || m_tickPending
                || (!ticked && !m_lost && ((m_running && !m_paused && m_streamStarted) || m_finishingCapture) && !m_queued.empty());
        });
        if (m_threadExit) {
            m_tickPending = false;
            m_condition.notify_all();
            return;
        }
        OwnedBuffer* owned = nullptr;
        if (!m_queued.empty()) {
            owned = m_queued.front();
            m_queued.pop_front();
            owned->queued = false;
        }
        std::uint64_t generation = m_generation;
        std::uint32_t tickFrames = m_tickFrames;
        m_busy = true;
        lock.unlock();

        if (!owned) {
            // A tick with no buffer to fill: the microphone's sound for it is lost.
            dropped.resize(static_cast<std::size_t>(tickFrames) * m_format.mChannelsPerFrame);
            m_inputStream->read(dropped.data(), tickFrames);
            lock.lock();
        } else {
            std::uint32_t frames = owned->buffer.mAudioDataBytesCapacity / m_format.mBytesPerFrame;
            std::size_t got = m_inputStream->read(static_cast<std::int16_t*>(owned->buffer.mAudioData), frames);
            std::string failure = got < frames ? m_inputStream->failure() : std::string();
            lock.lock();
            // What was captured is kept, also the part of a buffer that a stop, a pause or
            // the loss of the device cut short.
            if (got > 0 && generation == m_generation && !m_threadExit) {
                lock.unlock();
                deliverInput(owned, static_cast<std::uint32_t>(got));
                lock.lock();
            } else if (!m_disposed) {
                owned->queued = true;
                m_queued.push_front(owned);
            }
            if (got < frames) {
                m_finishingCapture = false;
                if (!failure.empty())
                    deviceLostLocked(lock, failure);
            }
        }
        m_busy = false;
        m_tickPending = false;
        m_condition.notify_all();
    }
}

// Stops the device and lets the service thread hand over what it captured before the stop.
// Called with the lock held before a stop or pause moves the generation on.
void Queue::finishCaptureLocked(std::unique_lock<std::mutex>& lock)
{
    // Only a device keeps time on its own; the other pacings have nothing captured in between.
    if (!m_streamStarted || m_lost || onServiceThread() || pacing() != Pacing::Device)
        return;
    m_streamStarted = false;
    m_finishingCapture = true;
    m_inputStream->stop();
    m_condition.notify_all();
    m_condition.wait(lock, [&] { return !m_finishingCapture || m_lost || m_threadExit || (!m_busy && m_queued.empty()); });
    m_finishingCapture = false;
}

// The stream's device failed or went silent: said once per queue, and the session's
// interruption begins. Called with the lock held on the audio thread.
void Queue::deviceLostLocked(std::unique_lock<std::mutex>& lock, const std::string& failure)
{
    if (m_lost || m_disposed)
        return;
    m_lost = true;
    lock.unlock();
    foundation::logf("Lost the %s of %s: %s", m_input ? "microphone" : "speaker", currentDevice()->name().c_str(), failure.c_str());
    Session::shared().deviceLost();
    lock.lock();
}

void Queue::deliverInput(OwnedBuffer* owned, std::uint32_t frames)
{
    Buffer& buffer = owned->buffer;
    buffer.mAudioDataByteSize = frames * m_format.mBytesPerFrame;
    measure(buffer);
    TimeStamp time { m_sampleTime };
    m_sampleTime += frames;
    if (m_inputCallback)
        m_inputCallback(*this, &buffer, time, frames, nullptr);
}

// ---- Output ----

void Queue::kickOutput(bool deferDrain)
{
    std::unique_lock lock(m_mutex);
    if (!m_running || m_paused || m_disposed || m_outputScheduled)
        return;
    Pacing mode = pacing();
    if (mode == Pacing::Device) {
        m_condition.notify_all();
        return;
    }
    if (m_queued.empty()) {
        if (!m_drainPending)
            return;
        if (!deferDrain) {
            finishDrainLocked(lock);
            return;
        }
    }
    std::int64_t nanos = 0;
    if (mode == Pacing::RunLoop && !m_queued.empty())
        nanos = std::max<std::int64_t>(durationNanos(m_queued.front()->buffer.mAudioDataByteSize) - m_tickElapsedNanos, 0);
    m_outputScheduled = true;
    m_tickStartNanos = m_runLoop->nowNanos();
    std::uint64_t generation = m_generation;
    lock.unlock();

    std::weak_ptr<Queue> weak = weak_from_this();
    auto tick = [weak, generation] {
        if (auto queue = weak.lock())
            queue->outputTick(generation);
    };
    // A start with nothing to play still ends on a later turn of the loop, so the start is
    // delivered before the stop.
    if (nanos == 0) {
        m_runLoop->post(tick);
        return;
    }
    m_timer = m_runLoop->scheduleTimer(foundation::nanosToSeconds(nanos), false, [tick](foundation::Timer&) { tick(); });
}

void Queue::finishDrainLocked(std::unique_lock<std::mutex>& lock)
{
    m_drainPending = false;
    ++m_generation;
    haltLocked(lock);
    setRunningLocked(false);
}

void Queue::outputTick(std::uint64_t generation)
{
    // Unpaced, one turn of the loop plays a run of buffers rather than one each.
    int batch = pacing() == Pacing::Unpaced ? 32 : 1;
    for (;;) {
        std::unique_lock lock(m_mutex);
        if (generation != m_generation || !m_running || m_paused || m_disposed)
            return;
        m_outputScheduled = false;
        m_tickElapsedNanos = 0;
        if (m_queued.empty()) {
            if (m_drainPending)
                finishDrainLocked(lock);
            return;
        }
        OwnedBuffer* owned = m_queued.front();
        m_queued.pop_front();
        owned->queued = false;
        // Marked scheduled while the callback runs, so its enqueue does not post another turn.
        m_outputScheduled = --batch > 0;
        lock.unlock();
        std::size_t played = play(owned);
        measure(owned->buffer);
        {
            std::lock_guard counted(m_mutex);
            m_framesPlayed += static_cast<std::int64_t>(played);
        }
        if (m_outputCallback)
            m_outputCallback(*this, &owned->buffer);
        if (batch <= 0)
            break;
    }
    kickOutput();
}

// Writes a buffer to the stream at the queue's volume; returns the frames the stream took.
std::size_t Queue::play(OwnedBuffer* owned)
{
    const Buffer& buffer = owned->buffer;
    std::size_t frames = buffer.mAudioDataByteSize / m_format.mBytesPerFrame;
    const auto* samples = static_cast<const std::int16_t*>(buffer.mAudioData);
    float volume;
    {
        std::lock_guard lock(m_mutex);
        volume = m_volume;
    }
    if (volume >= 1.0f)
        return m_outputStream->write(samples, frames);
    std::vector<std::int16_t> scaled(samples, samples + frames * m_format.mChannelsPerFrame);
    for (auto& sample : scaled)
        sample = static_cast<std::int16_t>(std::lround(sample * volume));
    return m_outputStream->write(scaled.data(), frames);
}

void Queue::outputThreadMain()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_condition.wait(lock, [&] {
            return m_threadExit || (m_running && !m_paused && m_streamStarted && !m_lost && (!m_queued.empty() || m_drainPending));
        });
        if (m_threadExit)
            return;
        std::uint64_t generation = m_generation;
        if (m_queued.empty()) {
            // Everything was written: the stop waits until the device has played it.
            m_busy = true;
            lock.unlock();
            bool drained = m_outputStream->drain();
            std::string failure = drained ? std::string() : m_outputStream->failure();
            lock.lock();
            m_busy = false;
            m_condition.notify_all();
            if (!failure.empty())
                deviceLostLocked(lock, failure);
            if (generation == m_generation && m_drainPending && m_queued.empty() && (drained || m_lost))
                finishDrainLocked(lock);
            continue;
        }
        OwnedBuffer* owned = m_queued.front();
        m_queued.pop_front();
        owned->queued = false;
        m_busy = true;
        lock.unlock();
        std::size_t frames = owned->buffer.mAudioDataByteSize / m_format.mBytesPerFrame;
        bool played = play(owned) == frames;
        if (played)
            measure(owned->buffer);
        std::string failure = played ? std::string() : m_outputStream->failure();
        lock.lock();
        m_busy = false;
        m_condition.notify_all();
        if (!failure.empty()) {
            deviceLostLocked(lock, failure);
            // A sound that was to stop after what is queued ends now, so its owner hears of it.
            if (m_drainPending && !m_disposed)
                finishDrainLocked(lock);
            continue;
        }
        if (!played || generation != m_generation)
            continue;
        m_framesPlayed += static_cast<std::int64_t>(frames);
        std::weak_ptr<Queue> weak = weak_from_this();
        Buffer* buffer = &owned->buffer;
        m_runLoop->post([weak, buffer] {
            if (auto queue = weak.lock())
                queue->returnBuffer(buffer);
        });
    }
}

void Queue::returnBuffer(Buffer* buffer)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_disposed)
            return;
    }
    if (m_outputCallback)
        m_outputCallback(*this, buffer);
}

// ---- Properties ----

Status Queue::getCurrentTime(TimeStamp* outTime) const
{
    if (!outTime)
        return kQueueInvalidParameterError;
    std::lock_guard lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    std::int64_t frames = m_input ? -1 : m_outputStream->framesPlayed();
    if (frames < 0)
        frames = m_framesPlayed;
    outTime->mSampleTime = static_cast<double>(frames);
    return noErr;
}

Status Queue::getPropertySize(QueueProperty property, std::uint32_t* outSize) const
{
    if (!outSize)
        return kQueueInvalidParameterError;
    switch (property) {
    case QueueProperty::IsRunning:
    case QueueProperty::EnableLevelMetering:
        *outSize = sizeof(std::uint32_t);
        return noErr;
    case QueueProperty::CurrentLevelMeter:
        *outSize = static_cast<std::uint32_t>(sizeof(LevelMeterState) * m_format.mChannelsPerFrame);
        return noErr;
    case QueueProperty::StreamDescription:
        *outSize = sizeof(StreamBasicDescription);
        return noErr;
    case QueueProperty::MagicCookie:
        *outSize = 0;
        return noErr;
    }
    return kQueueInvalidPropertyError;
}

Status Queue::getProperty(QueueProperty property, void* outData, std::uint32_t* ioSize) const
{
    if (!ioSize || (!outData && *ioSize > 0))
        return kQueueInvalidParameterError;
    std::lock_guard lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    switch (property) {
    case QueueProperty::IsRunning:
    case QueueProperty::EnableLevelMetering: {
        if (*ioSize < sizeof(std::uint32_t))
            return kQueueInvalidPropertySizeError;
        std::uint32_t value = property == QueueProperty::IsRunning ? m_running.load() : m_metering;
        std::memcpy(outData, &value, sizeof value);
        *ioSize = sizeof value;
        return noErr;
    }
    case QueueProperty::CurrentLevelMeter: {
        if (!m_metering)
            return kQueueInvalidPropertyError;
        updateLevelsLocked();
        std::size_t count = std::min<std::size_t>(*ioSize / sizeof(LevelMeterState), m_levels.size());
        if (count == 0)
            return kQueueInvalidPropertySizeError;
        std::memcpy(outData, m_levels.data(), count * sizeof(LevelMeterState));
        *ioSize = static_cast<std::uint32_t>(count * sizeof(LevelMeterState));
        return noErr;
    }
    case QueueProperty::StreamDescription:
        if (*ioSize < sizeof(StreamBasicDescription))
            return kQueueInvalidPropertySizeError;
        std::memcpy(outData, &m_format, sizeof m_format);
        *ioSize = sizeof m_format;
        return noErr;
    case QueueProperty::MagicCookie:
        *ioSize = 0;
        return noErr;
    }
    return kQueueInvalidPropertyError;
}

Status Queue::setProperty(QueueProperty property, const void* data, std::uint32_t size)
{
    if (property != QueueProperty::EnableLevelMetering)
        return kQueueInvalidPropertyError;
    if (!data || size < sizeof(std::uint32_t))
        return kQueueInvalidPropertySizeError;
    std::uint32_t value;
    std::memcpy(&value, data, sizeof value);
    std::lock_guard lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    bool enable = value != 0;
    if (enable && !m_metering) {
        m_levels.assign(m_format.mChannelsPerFrame, LevelMeterState {});
        m_lastBuffer.clear();
        m_levelsStale = false;
    }
    m_metering = enable;
    return noErr;
}

Status Queue::setParameter(QueueParameter parameter, float value)
{
    if (parameter != QueueParameter::Volume || !(value >= 0.0f && value <= 1.0f))
        return kQueueInvalidParameterError;
    std::lock_guard lock(m_mutex);
    m_volume = value;
    return noErr;
}

Status Queue::getParameter(QueueParameter parameter, float* outValue) const
{
    if (parameter != QueueParameter::Volume || !outValue)
        return kQueueInvalidParameterError;
    std::lock_guard lock(m_mutex);
    *outValue = m_volume;
    return noErr;
}

Status Queue::addPropertyListener(QueueProperty property, const void* owner, PropertyListener listener)
{
    if (property != QueueProperty::IsRunning || !listener)
        return kQueueInvalidPropertyError;
    std::lock_guard lock(m_mutex);
    if (m_disposed)
        return kQueueDisposedError;
    m_listeners.push_back({ owner, std::move(listener) });
    return noErr;
}

Status Queue::removePropertyListener(QueueProperty property, const void* owner)
{
    if (property != QueueProperty::IsRunning)
        return kQueueInvalidPropertyError;
    std::lock_guard lock(m_mutex);
    std::erase_if(m_listeners, [&](const Listener& l) { return l.owner == owner; });
    return noErr;
}

} // namespace audio
