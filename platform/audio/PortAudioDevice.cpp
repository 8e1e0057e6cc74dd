#include "audio/PortAudioDevice.h"

#include "foundation/Log.h"

#include <algorithm>
#include <atomic>
#include <chrono>
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

// A device that has not called back for this long is taken as lost.
constexpr auto kSilentDeviceTimeout = std::chrono::seconds(1);

// Samples between PortAudio's callback and a queue's audio thread. The callback side never
// waits: it drops input that does not fit and plays silence for output that is missing or
// paused. The audio-thread side waits for data or room, but never longer than a second after
// the last callback: a device that stops calling back is lost.
class Ring {
public:
    using Clock = std::chrono::steady_clock;

    explicit Ring(std::size_t capacity)
        : m_data(capacity)
    {
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_read = m_size = 0;
        m_interrupted = m_ended = m_paused = false;
        m_failure.clear();
        m_lastCallback = Clock::now();
        m_pulled = 0;
    }
    void interrupt()
    {
        {
            std::lock_guard lock(m_mutex);
            m_interrupted = true;
        }
        m_condition.notify_all();
    }
    // Capture has ended: reads take what is left without waiting.
    void end()
    {
        {
            std::lock_guard lock(m_mutex);
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

    // Callback side.
    void push(const std::int16_t* samples, std::size_t count)
    {
        {
            std::lock_guard lock(m_mutex);
            m_lastCallback = Clock::now();
            count = std::min(count, m_data.size() - m_size);
            for (std::size_t i = 0; i < count; ++i)
                m_data[(m_read + m_size + i) % m_data.size()] = samples[i];
            m_size += count;
        }
        m_condition.notify_all();
    }
    void pull(std::int16_t* samples, std::size_t count)
    {
        {
            std::lock_guard lock(m_mutex);
            m_lastCallback = Clock::now();
            std::size_t got = m_paused ? 0 : std::min(count, m_size);
            for (std::size_t i = 0; i < got; ++i)
                samples[i] = m_data[(m_read + i) % m_data.size()];
            std::fill(samples + got, samples + count, 0);
            m_read = (m_read + got) % m_data.size();
            m_size -= got;
            m_pulled += static_cast<std::int64_t>(got);
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
            if (!waitLocked(lock, [&] { return m_size > 0 || m_ended; }, true) || m_size == 0)
                break;
            std::size_t got = std::min(count - done, m_size);
            for (std::size_t i = 0; i < got; ++i)
                samples[done + i] = m_data[(m_read + i) % m_data.size()];
            m_read = (m_read + got) % m_data.size();
            m_size -= got;
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
        }
        return done;
    }
    // Waits until the callback has taken everything written.
    bool drain()
    {
        std::unique_lock lock(m_mutex);
        return waitLocked(lock, [&] { return m_size == 0; }, false);
    }

private:
    // Waits for ready(); false when interrupted, failed, or the callbacks stopped coming.
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
            if (Clock::now() >= m_lastCallback + kSilentDeviceTimeout) {
                m_failure = "no callback from the device for a second";
                return false;
            }
            m_condition.wait_until(lock, m_lastCallback + kSilentDeviceTimeout);
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    std::vector<std::int16_t> m_data;
    std::size_t m_read { 0 };
    std::size_t m_size { 0 };
    bool m_interrupted { false };
    bool m_ended { false };
    bool m_paused { false };
    std::string m_failure;
    Clock::time_point m_lastCallback { Clock::now() };
    std::int64_t m_pulled { 0 };
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
    PortAudioStream(std::shared_ptr<PortAudioDevice> device, const StreamBasicDescription& format)
        : m_count(std::move(device))
        , m_channels(format.mChannelsPerFrame)
        , m_ring(static_cast<std::size_t>(std::max(format.mSampleRate, 1.0)) * format.mChannelsPerFrame)
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
    // Output goes to the default device unless another one is named.
    Status open(const StreamBasicDescription& format, bool input, std::string* reason, PaDeviceIndex output = paNoDevice)
    {
        QuietStandardError quiet;
        PaDeviceIndex index = input ? Pa_GetDefaultInputDevice() : output != paNoDevice ? output : Pa_GetDefaultOutputDevice();
        PaError error = paNoError;
        if (!input && output != paNoDevice) {
            const PaDeviceInfo* info = Pa_GetDeviceInfo(output);
            PaStreamParameters parameters { output, static_cast<int>(m_channels), paInt16, info ? info->defaultLowOutputLatency : 0, nullptr };
            error = Pa_OpenStream(&m_stream, nullptr, &parameters, format.mSampleRate, paFramesPerBufferUnspecified, paNoFlag,
                &PortAudioStream::outputCallback, this);
        } else {
            error = Pa_OpenDefaultStream(&m_stream, input ? static_cast<int>(m_channels) : 0, input ? 0 : static_cast<int>(m_channels),
                paInt16, format.mSampleRate, paFramesPerBufferUnspecified,
                input ? &PortAudioStream::inputCallback : &PortAudioStream::outputCallback, this);
        }
        if (error != paNoError) {
            m_stream = nullptr;
            if (reason)
                *reason = "'" + deviceName(index) + "': " + errorText(error);
            return kQueueDeviceError;
        }
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
    // Input: no more callbacks, and what was captured stays readable. Output: playOut lets
    // the device play what it holds; otherwise it is dropped.
    void stop(bool playOut)
    {
        m_stopping = true;
        if (Pa_IsStreamActive(m_stream) == 1) {
            QuietStandardError quiet;
            if (playOut)
                Pa_StopStream(m_stream);
            else
                Pa_AbortStream(m_stream);
        }
        m_ring.end();
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
        return m_stream->ring().read(samples, frames * m_channels) / m_channels;
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
    auto stream = std::make_unique<PortAudioStream>(std::move(device), format);
    if (status == noErr)
        status = stream->open(format, input, reason, output);
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
