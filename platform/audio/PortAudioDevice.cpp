#include "audio/PortAudioDevice.h"

#include "foundation/Log.h"
#include "foundation/StringFormat.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <portaudio.h>
#include <sys/inotify.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace audio {

namespace {

// Sends standard error to /dev/null while it lives: the back-ends PortAudio loads write their
// complaints there directly, with no way to turn them off.
class QuietStandardError {
public:
    QuietStandardError()
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDERR_FILENO);
            ::close(null);
        }
    }
    ~QuietStandardError()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int m_saved { -1 };
};

using Clock = std::chrono::steady_clock;

Clock::duration toDuration(double seconds)
{
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Streams ask for a few tens of milliseconds of buffering in callbacks of about 10 ms, whatever
// the device's defaults say (PortAudio's "high" default latency can be far longer).
constexpr double kSuggestedLatency = 0.04;
constexpr double kCallbackPeriod = 0.01;

// A device is lost when its callbacks stop for this long beyond the buffering it has shown.
constexpr double kGoneAfter = 1.0;
// A sound server may first finish a block it began before the stream joined: PulseAudio's
// idle sinks and sources run blocks of up to two seconds, so the callbacks after those that
// filled the stream's buffer can come that late. A stream's silence counts only after that.
constexpr double kServerBlock = 2.0;
// Sound a device moved ahead of the clock covers the silence after it. The credit runs out a
// little faster than the clock, so a card whose clock runs fast never builds it up.
constexpr double kCreditDrain = 1.01;
// The ring holds at least a second, and several times what the stream buffers. The input side
// grows, up to this, to take what a server delivers at once.
constexpr double kRingSeconds = 1.0;
constexpr double kLongestInputRing = 10.0;
// Captured sound is handed over no faster than the clock, give or take what a card's clock may
// drift: a server that delivers ahead of time (a source rendering whole blocks at once) hands
// over sound of moments after a stop, which the stop does not keep.
constexpr double kClockDrift = 0.005;
constexpr double kClockSlack = 0.01;

// Samples between PortAudio's callback and a queue's audio thread. The callback side never
// waits: it plays silence for output that is missing or paused, and drops only input beyond
// the longest ring. The audio-thread side waits for data or room, but not for a device that
// has gone quiet: silence longer than what the device has shown it buffers (its reported
// latency, what it delivered ahead, the latest it ever called back) plus a second is a loss.
class Ring {
public:
    enum class Side { Input, Output };

    // samplesPerSecond: the stream's frame rate times its channels.
    Ring(Side side, double samplesPerSecond)
        : m_input(side == Side::Input)
        , m_samplesPerSecond(std::max(samplesPerSecond, 1.0))
        , m_data(samplesFor(kRingSeconds))
    {
    }
    // Once the stream is open, before it first starts: what it buffers, in seconds.
    void configure(double latency)
    {
        std::lock_guard lock(m_mutex);
        m_latency = latency >= 0 ? std::min(latency, kLongestInputRing) : 0.0;
        m_data.assign(std::max(samplesFor(kRingSeconds), samplesFor(4 * m_latency)), 0);
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_read = m_size = 0;
        m_interrupted = m_ended = m_paused = false;
        m_failure.clear();
        m_started = m_lastCallback = Clock::now();
        m_credit = m_lateness = 0;
        m_pulled = m_handed = 0;
        m_silenceAfter = 0;
        m_dropped = 0;
        m_dropReported = false;
    }
    void interrupt()
    {
        {
            std::lock_guard lock(m_mutex);
            m_interrupted = true;
        }
        m_condition.notify_all();
    }
    // Capture ended at time at: reads take what is left without waiting, up to what the clock
    // allowed by then.
    void end(Clock::time_point at)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_input && !m_ended && m_failure.empty())
                m_size = releasableLocked(at);
            m_ended = true;
        }
        m_condition.notify_all();
    }
    void fail(const std::string& reason)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_failure.empty())
                m_failure = reason;
        }
        m_condition.notify_all();
    }
    std::string failure() const
    {
        std::lock_guard lock(m_mutex);
        return m_failure;
    }
    void setPaused(bool paused)
    {
        std::lock_guard lock(m_mutex);
        m_paused = paused;
    }
    std::int64_t pulled() const
    {
        std::lock_guard lock(m_mutex);
        return m_pulled;
    }
    // Input dropped because it did not fit, counted once: later calls give 0.
    std::int64_t takeDropped()
    {
        std::lock_guard lock(m_mutex);
        if (m_dropReported || m_dropped == 0)
            return 0;
        m_dropReported = true;
        return m_dropped;
    }

    // Callback side.
    void push(const std::int16_t* samples, std::size_t count)
    {
        {
            std::lock_guard lock(m_mutex);
            noteCallbackLocked(count);
            if (m_size + count > m_data.size())
                growLocked(m_size + count);
            std::size_t fits = std::min(count, m_data.size() - m_size);
            for (std::size_t i = 0; i < fits; ++i)
                m_data[(m_read + m_size + i) % m_data.size()] = samples[i];
            m_size += fits;
            m_dropped += static_cast<std::int64_t>(count - fits);
        }
        m_condition.notify_all();
    }
    void pull(std::int16_t* samples, std::size_t count)
    {
        {
            std::lock_guard lock(m_mutex);
            noteCallbackLocked(count);
            std::size_t got = m_paused ? 0 : std::min(count, m_size);
            for (std::size_t i = 0; i < got; ++i)
                samples[i] = m_data[(m_read + i) % m_data.size()];
            std::fill(samples + got, samples + count, 0);
            m_read = (m_read + got) % m_data.size();
            m_size -= got;
            m_pulled += static_cast<std::int64_t>(got);
            if (m_size == 0)
                m_silenceAfter += count - got;
        }
        m_condition.notify_all();
    }

    // Audio-thread side. Each returns how many samples it moved.
    std::size_t read(std::int16_t* samples, std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        std::size_t done = 0;
        while (done < count) {
            // Sound captured before a failure is still handed over.
            if (!waitLocked(lock, [&] { return releasableLocked(Clock::now()) > 0 || m_ended; }, true))
                break;
            std::size_t got = std::min(count - done, releasableLocked(Clock::now()));
            if (got == 0)
                break;
            for (std::size_t i = 0; i < got; ++i)
                samples[done + i] = m_data[(m_read + i) % m_data.size()];
            m_read = (m_read + got) % m_data.size();
            m_size -= got;
            m_handed += static_cast<std::int64_t>(got);
            done += got;
        }
        return done;
    }
    std::size_t write(const std::int16_t* samples, std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        std::size_t done = 0;
        while (done < count) {
            if (!waitLocked(lock, [&] { return m_size < m_data.size(); }, false))
                break;
            std::size_t room = std::min(count - done, m_data.size() - m_size);
            for (std::size_t i = 0; i < room; ++i)
                m_data[(m_read + m_size + i) % m_data.size()] = samples[done + i];
            m_size += room;
            done += room;
            m_silenceAfter = 0;
        }
        return done;
    }
    // Waits until the device has played everything written: the callback took it, then as
    // much silence as the stream buffers, which pushed the last sample out. A device's own
    // drain at its stop cannot be relied on for that: ALSA's pulse plugin drops its tail.
    bool drain()
    {
        std::unique_lock lock(m_mutex);
        const std::size_t tail = samplesFor(m_latency + kCallbackPeriod);
        return waitLocked(lock, [&] { return m_size == 0 && m_silenceAfter >= tail; }, false);
    }

private:
    std::size_t samplesFor(double seconds) const { return static_cast<std::size_t>(std::ceil(seconds * m_samplesPerSecond)); }

    // What the device has shown of its buffering: how late this callback came beyond the
    // sound the earlier ones moved, and the sound this one moves.
    void noteCallbackLocked(std::size_t count)
    {
        const Clock::time_point now = Clock::now();
        const double gap = secondsBetween(m_lastCallback, now);
        m_lateness = std::max(m_lateness, gap - m_credit);
        m_credit = std::min(std::max(m_credit - gap * kCreditDrain, 0.0) + static_cast<double>(count) / m_samplesPerSecond, kLongestInputRing);
        m_lastCallback = now;
    }
    // The moment after which the device's silence means it is gone.
    Clock::time_point deadlineLocked() const
    {
        const double allowance = kGoneAfter + m_latency + m_lateness;
        return std::max(m_lastCallback + toDuration(m_credit + allowance), m_started + toDuration(kServerBlock + allowance));
    }
    // Input the audio thread may take at time now: everything once capture ended or failed,
    // otherwise no more than the clock since the start allows.
    std::size_t releasableLocked(Clock::time_point now) const
    {
        if (!m_input || m_ended || !m_failure.empty())
            return m_size;
        double allowed = (secondsBetween(m_started, now) * (1 + kClockDrift) + kClockSlack) * m_samplesPerSecond - static_cast<double>(m_handed);
        return allowed <= 0 ? 0 : std::min(m_size, static_cast<std::size_t>(allowed));
    }
    // When the clock allows one more sample of input than was handed over.
    Clock::time_point nextReleaseLocked() const
    {
        double seconds = (static_cast<double>(m_handed + 1) / m_samplesPerSecond - kClockSlack) / (1 + kClockDrift);
        return m_started + toDuration(seconds);
    }
    // Grows the input side to hold needed samples, up to the longest ring. It happens in the
    // callback, rarely (a server's first large delivery): cheaper than losing the sound.
    void growLocked(std::size_t needed)
    {
        const std::size_t limit = samplesFor(kLongestInputRing);
        if (!m_input || m_data.size() >= limit)
            return;
        std::vector<std::int16_t> grown(std::min(limit, std::max(needed, 2 * m_data.size())));
        for (std::size_t i = 0; i < m_size; ++i)
            grown[i] = m_data[(m_read + i) % m_data.size()];
        m_data.swap(grown);
        m_read = 0;
    }

    // Waits for ready(); false when interrupted, failed, or the device went quiet.
    // readyFirst: a failed ring still gives what is ready.
    template<typename Ready>
    bool waitLocked(std::unique_lock<std::mutex>& lock, Ready ready, bool readyFirst)
    {
        for (;;) {
            if (m_interrupted)
                return false;
            if (readyFirst && ready())
                return true;
            if (!m_failure.empty())
                return false;
            if (ready())
                return true;
            const Clock::time_point now = Clock::now();
            const Clock::time_point deadline = deadlineLocked();
            if (now >= deadline) {
                m_failure = foundation::format("no callback from the device for %.1f s", secondsBetween(m_lastCallback, now));
                return false;
            }
            // Input held back by the clock is due before the deadline.
            const bool held = m_input && m_size > 0 && !m_ended;
            m_condition.wait_until(lock, held ? std::min(deadline, nextReleaseLocked()) : deadline);
        }
    }

    const bool m_input;
    const double m_samplesPerSecond;
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    std::vector<std::int16_t> m_data;
    std::size_t m_read { 0 };
    std::size_t m_size { 0 };
    bool m_interrupted { false };
    bool m_ended { false };
    bool m_paused { false };
    std::string m_failure;
    double m_latency { 0 };
    Clock::time_point m_started { Clock::now() };
    Clock::time_point m_lastCallback { Clock::now() };
    // Seconds of sound the device moved ahead of m_lastCallback, and the latest it came.
    double m_credit { 0 };
    double m_lateness { 0 };
    std::int64_t m_pulled { 0 };
    std::int64_t m_handed { 0 };
    // Silence the callback played since the last sound written.
    std::size_t m_silenceAfter { 0 };
    std::int64_t m_dropped { 0 };
    bool m_dropReported { false };
};

std::string errorText(PaError error)
{
    std::string text = Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        const PaHostErrorInfo* info = Pa_GetLastHostErrorInfo();
        if (info && info->errorText && *info->errorText)
            text += std::string(" (") + info->errorText + ")";
    }
    return text;
}

std::string deviceName(PaDeviceIndex index)
{
    const PaDeviceInfo* info = index == paNoDevice ? nullptr : Pa_GetDeviceInfo(index);
    return info && info->name ? info->name : "no device";
}

} // namespace

// Counts the streams open on a device, which may only start over when there are none.
class PortAudioDevice::StreamCount {
public:
    explicit StreamCount(std::shared_ptr<PortAudioDevice> device)
        : m_device(std::move(device))
    {
        ++m_device->m_openStreams;
    }
    ~StreamCount() { --m_device->m_openStreams; }
    StreamCount(const StreamCount&) = delete;
    StreamCount& operator=(const StreamCount&) = delete;

private:
    std::shared_ptr<PortAudioDevice> m_device;
};

namespace {

class PortAudioStream {
public:
    PortAudioStream(std::shared_ptr<PortAudioDevice> device, const StreamBasicDescription& format, bool input)
        : m_count(std::move(device))
        , m_input(input)
        , m_channels(format.mChannelsPerFrame)
        , m_ring(input ? Ring::Side::Input : Ring::Side::Output, format.mSampleRate * format.mChannelsPerFrame)
    {
    }
    ~PortAudioStream()
    {
        if (m_stream) {
            QuietStandardError quiet;
            m_stopping = true;
            Pa_CloseStream(m_stream);
        }
    }
    // Opens on device (the default one of its side when none is named), asking for a few tens
    // of milliseconds of buffering; the ring is sized for what the stream then reports.
    Status open(const StreamBasicDescription& format, std::string* reason, PaDeviceIndex device = paNoDevice)
    {
        QuietStandardError quiet;
        if (device == paNoDevice)
            device = m_input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice();
        const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
        const double lowest = info ? (m_input ? info->defaultLowInputLatency : info->defaultLowOutputLatency) : 0;
        PaStreamParameters parameters { device, static_cast<int>(m_channels), paInt16, std::max(kSuggestedLatency, lowest), nullptr };
        const auto framesPerBuffer = static_cast<unsigned long>(std::max(64.0, std::round(format.mSampleRate * kCallbackPeriod)));
        PaError error = Pa_OpenStream(&m_stream, m_input ? &parameters : nullptr, m_input ? nullptr : &parameters, format.mSampleRate,
            framesPerBuffer, paNoFlag, m_input ? &PortAudioStream::inputCallback : &PortAudioStream::outputCallback, this);
        if (error != paNoError) {
            m_stream = nullptr;
            if (reason)
                *reason = "'" + deviceName(device) + "': " + errorText(error);
            return kQueueDeviceError;
        }
        const PaStreamInfo* stream = Pa_GetStreamInfo(m_stream);
        const double latency = stream ? (m_input ? stream->inputLatency : stream->outputLatency) : 0;
        m_ring.configure(latency + static_cast<double>(framesPerBuffer) / format.mSampleRate);
        Pa_SetStreamFinishedCallback(m_stream, &PortAudioStream::finishedCallback);
        return noErr;
    }
    Status start()
    {
        m_ring.reset();
        m_stopping = false;
        QuietStandardError quiet;
        PaError error = Pa_StartStream(m_stream);
        if (error != paNoError) {
            m_stopping = true;
            m_ring.fail(errorText(error));
            return kQueueDeviceError;
        }
        return noErr;
    }
    // Input: no more callbacks, and what was captured up to now stays readable. Output:
    // playOut lets the device play what it holds; otherwise it is dropped.
    void stop(bool playOut)
    {
        const Clock::time_point now = Clock::now();
        m_stopping = true;
        if (Pa_IsStreamActive(m_stream) == 1) {
            QuietStandardError quiet;
            if (playOut)
                Pa_StopStream(m_stream);
            else
                Pa_AbortStream(m_stream);
        }
        m_ring.end(now);
    }
    Ring& ring() { return m_ring; }

private:
    static int inputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
        PaStreamCallbackFlags, void* userData)
    {
        auto* self = static_cast<PortAudioStream*>(userData);
        if (input)
            self->m_ring.push(static_cast<const std::int16_t*>(input), frames * self->m_channels);
        return paContinue;
    }
    static int outputCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
        PaStreamCallbackFlags, void* userData)
    {
        auto* self = static_cast<PortAudioStream*>(userData);
        self->m_ring.pull(static_cast<std::int16_t*>(output), frames * self->m_channels);
        return paContinue;
    }
    // A stream that ends without being asked to has lost its device.
    static void finishedCallback(void* userData)
    {
        auto* self = static_cast<PortAudioStream*>(userData);
        if (!self->m_stopping)
            self->m_ring.fail("the stream ended by itself");
    }

    PortAudioDevice::StreamCount m_count;
    const bool m_input;
    std::uint32_t m_channels;
    Ring m_ring;
    PaStream* m_stream { nullptr };
    std::atomic<bool> m_stopping { true };
};

class PortAudioInputStream final : public InputStream {
public:
    explicit PortAudioInputStream(std::unique_ptr<PortAudioStream> stream, std::uint32_t channels)
        : m_stream(std::move(stream))
        , m_channels(channels)
    {
    }
    Pacing pacing() const override { return Pacing::Device; }
    Status start() override { return m_stream->start(); }
    void stop() override { m_stream->stop(false); }
    std::size_t read(std::int16_t* samples, std::size_t frames) override
    {
        std::size_t got = m_stream->ring().read(samples, frames * m_channels) / m_channels;
        if (std::int64_t dropped = m_stream->ring().takeDropped())
            foundation::logf("Dropped %lld samples of the microphone of PortAudio: it delivered more than %g s at once",
                static_cast<long long>(dropped), kLongestInputRing);
        return got;
    }
    void interrupt() override { m_stream->ring().interrupt(); }
    std::string failure() const override { return m_stream->ring().failure(); }

private:
    std::unique_ptr<PortAudioStream> m_stream;
    std::uint32_t m_channels;
};

class PortAudioOutputStream final : public OutputStream {
public:
    explicit PortAudioOutputStream(std::unique_ptr<PortAudioStream> stream, std::uint32_t channels)
        : m_stream(std::move(stream))
        , m_channels(channels)
    {
    }
    Pacing pacing() const override { return Pacing::Device; }
    Status start() override
    {
        m_drained = false;
        return m_stream->start();
    }
    // After a drain the device plays out its last period; otherwise the sound stops now.
    void stop() override { m_stream->stop(m_drained); }
    std::size_t write(const std::int16_t* samples, std::size_t frames) override
    {
        m_drained = false;
        return m_stream->ring().write(samples, frames * m_channels) / m_channels;
    }
    bool drain() override
    {
        m_drained = m_stream->ring().drain();
        return m_drained;
    }
    void setPaused(bool paused) override { m_stream->ring().setPaused(paused); }
    std::int64_t framesPlayed() const override { return m_stream->ring().pulled() / m_channels; }
    void interrupt() override { m_stream->ring().interrupt(); }
    std::string failure() const override { return m_stream->ring().failure(); }

private:
    std::unique_ptr<PortAudioStream> m_stream;
    std::uint32_t m_channels;
    std::atomic<bool> m_drained { false };
};

} // namespace

std::shared_ptr<PortAudioDevice> PortAudioDevice::create(std::string* reason)
{
    // Probing JACK must not launch a JACK server as a side effect.
    setenv("JACK_NO_START_SERVER", "1", 0);
    QuietStandardError quiet;
    PaError error = Pa_Initialize();
    if (error != paNoError) {
        if (reason)
            *reason = errorText(error);
        return nullptr;
    }
    if (Pa_GetDefaultInputDevice() == paNoDevice || Pa_GetDefaultOutputDevice() == paNoDevice) {
        if (reason)
            *reason = Pa_GetDefaultInputDevice() == paNoDevice ? "no microphone" : "no speaker";
        Pa_Terminate();
        return nullptr;
    }
    auto device = std::shared_ptr<PortAudioDevice>(new PortAudioDevice());
    device->watchDevicesIn("/dev/snd");
    return device;
}

PortAudioDevice::~PortAudioDevice()
{
    if (m_watch >= 0)
        ::close(m_watch);
    QuietStandardError quiet;
    if (m_initialized)
        Pa_Terminate();
}

void PortAudioDevice::watchDevicesIn(const std::string& directory)
{
    std::lock_guard lock(m_mutex);
    if (m_watch < 0)
        m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0)
        ::inotify_add_watch(m_watch, directory.c_str(), IN_CREATE | IN_DELETE);
}

// A sound card came or went since the last stream was opened: with no stream open PortAudio
// starts over, so the next stream goes to the default device as it is now.
void PortAudioDevice::followDeviceChangesLocked()
{
    if (m_watch < 0)
        return;
    alignas(inotify_event) char events[4096];
    bool changed = false;
    while (::read(m_watch, events, sizeof events) > 0)
        changed = true;
    if (changed)
        m_devicesChanged = true;
    if (!m_devicesChanged || m_openStreams > 0)
        return;
    m_devicesChanged = false;
    restartLocked();
    foundation::logf("The sound devices changed: the microphone is '%s', the speaker '%s'.",
        deviceName(Pa_GetDefaultInputDevice()).c_str(), deviceName(Pa_GetDefaultOutputDevice()).c_str());
}

void PortAudioDevice::restartLocked()
{
    QuietStandardError quiet;
    if (m_initialized)
        Pa_Terminate();
    m_initialized = Pa_Initialize() == paNoError;
}

// With no stream open PortAudio starts over, which lists the devices afresh and so picks up a
// default device that changed (plugged in, or chosen in the sound settings).
bool PortAudioDevice::isUsable()
{
    std::lock_guard lock(m_mutex);
    if (m_openStreams == 0) {
        m_devicesChanged = false;
        restartLocked();
    }
    return m_initialized && Pa_GetDefaultInputDevice() != paNoDevice && Pa_GetDefaultOutputDevice() != paNoDevice;
}

namespace {

template<typename Stream>
std::unique_ptr<Stream> openPortAudioStream(std::shared_ptr<PortAudioDevice> device, const StreamBasicDescription& format,
    bool input, Status* error, std::string* reason, PaDeviceIndex output = paNoDevice)
{
    Status status = isLinearPCM16(format) ? noErr : kQueueUnsupportedFormatError;
    if (status != noErr && reason)
        *reason = "not 16-bit linear PCM";
    auto stream = std::make_unique<PortAudioStream>(std::move(device), format, input);
    if (status == noErr)
        status = stream->open(format, reason, output);
    if (error)
        *error = status;
    if (status != noErr)
        return nullptr;
    return std::make_unique<Stream>(std::move(stream), format.mChannelsPerFrame);
}

} // namespace

std::unique_ptr<InputStream> PortAudioDevice::openInput(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    std::lock_guard lock(m_mutex);
    followDeviceChangesLocked();
    return openPortAudioStream<PortAudioInputStream>(shared_from_this(), format, true, error, reason);
}

std::unique_ptr<OutputStream> PortAudioDevice::openOutput(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    std::lock_guard lock(m_mutex);
    followDeviceChangesLocked();
    return openPortAudioStream<PortAudioOutputStream>(shared_from_this(), format, false, error, reason);
}

// The first output device, other than the default one, whose name matches.
PaDeviceIndex PortAudioDevice::findEarpieceLocked() const
{
    if (!m_initialized)
        return paNoDevice;
    const std::string pattern = earpiecePattern();
    const PaDeviceIndex count = Pa_GetDeviceCount();
    for (PaDeviceIndex index = 0; index < count; ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (index != Pa_GetDefaultOutputDevice() && info && info->name && info->maxOutputChannels > 0 && isEarpieceName(info->name, pattern))
            return index;
    }
    return paNoDevice;
}

bool PortAudioDevice::hasEarpiece()
{
    std::lock_guard lock(m_mutex);
    followDeviceChangesLocked();
    return findEarpieceLocked() != paNoDevice;
}

std::unique_ptr<OutputStream> PortAudioDevice::openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    std::lock_guard lock(m_mutex);
    followDeviceChangesLocked();
    const PaDeviceIndex earpiece = findEarpieceLocked();
    if (earpiece == paNoDevice)
        return Device::openEarpiece(format, error, reason);
    return openPortAudioStream<PortAudioOutputStream>(shared_from_this(), format, false, error, reason, earpiece);
}

} // namespace audio
