#include "audio/PortAudioDevice.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <portaudio.h>
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

// Samples between PortAudio's callback and a queue's audio thread. The callback side never
// waits: it drops input that does not fit and plays silence for output that is missing.
class Ring {
public:
    explicit Ring(std::size_t capacity)
        : m_data(capacity)
    {
    }
    void reset()
    {
        std::lock_guard lock(m_mutex);
        m_read = m_size = 0;
        m_interrupted = false;
    }
    void interrupt()
    {
        {
            std::lock_guard lock(m_mutex);
            m_interrupted = true;
        }
        m_condition.notify_all();
    }
    // Callback side.
    void push(const std::int16_t* samples, std::size_t count)
    {
        {
            std::lock_guard lock(m_mutex);
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
            std::size_t got = std::min(count, m_size);
            for (std::size_t i = 0; i < got; ++i)
                samples[i] = m_data[(m_read + i) % m_data.size()];
            std::fill(samples + got, samples + count, 0);
            m_read = (m_read + got) % m_data.size();
            m_size -= got;
        }
        m_condition.notify_all();
    }
    // Audio-thread side: wait for data or room; false when interrupted.
    bool read(std::int16_t* samples, std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        while (count > 0) {
            m_condition.wait(lock, [&] { return m_interrupted || m_size > 0; });
            if (m_interrupted)
                return false;
            std::size_t got = std::min(count, m_size);
            for (std::size_t i = 0; i < got; ++i)
                *samples++ = m_data[(m_read + i) % m_data.size()];
            m_read = (m_read + got) % m_data.size();
            m_size -= got;
            count -= got;
        }
        return true;
    }
    bool write(const std::int16_t* samples, std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        while (count > 0) {
            m_condition.wait(lock, [&] { return m_interrupted || m_size < m_data.size(); });
            if (m_interrupted)
                return false;
            std::size_t room = std::min(count, m_data.size() - m_size);
            for (std::size_t i = 0; i < room; ++i)
                m_data[(m_read + m_size + i) % m_data.size()] = *samples++;
            m_size += room;
            count -= room;
        }
        return true;
    }
    // Waits until the callback has taken everything, at most timeout seconds.
    void drain(double timeout)
    {
        std::unique_lock lock(m_mutex);
        m_condition.wait_for(lock, std::chrono::duration<double>(timeout), [&] { return m_interrupted || m_size == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::vector<std::int16_t> m_data;
    std::size_t m_read { 0 };
    std::size_t m_size { 0 };
    bool m_interrupted { false };
};

class PortAudioStream {
public:
    PortAudioStream(std::shared_ptr<PortAudioDevice> device, const StreamBasicDescription& format)
        : m_device(std::move(device))
        , m_channels(format.mChannelsPerFrame)
        , m_ring(static_cast<std::size_t>(format.mSampleRate) * format.mChannelsPerFrame)
    {
    }
    ~PortAudioStream()
    {
        if (m_stream) {
            QuietStandardError quiet;
            Pa_CloseStream(m_stream);
        }
    }
    Status open(const StreamBasicDescription& format, bool input)
    {
        QuietStandardError quiet;
        PaError error = Pa_OpenDefaultStream(&m_stream, input ? static_cast<int>(m_channels) : 0,
            input ? 0 : static_cast<int>(m_channels), paInt16, format.mSampleRate, paFramesPerBufferUnspecified,
            input ? &PortAudioStream::inputCallback : &PortAudioStream::outputCallback, this);
        if (error != paNoError) {
            m_stream = nullptr;
            return kQueueDeviceError;
        }
        return noErr;
    }
    Status start()
    {
        m_ring.reset();
        QuietStandardError quiet;
        return Pa_StartStream(m_stream) == paNoError ? noErr : kQueueDeviceError;
    }
    void stop(bool drain)
    {
        if (drain)
            m_ring.drain(1.0);
        m_ring.interrupt();
        if (Pa_IsStreamActive(m_stream) == 1)
            Pa_StopStream(m_stream);
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

    std::shared_ptr<PortAudioDevice> m_device;
    std::uint32_t m_channels;
    Ring m_ring;
    PaStream* m_stream { nullptr };
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
    bool read(std::int16_t* samples, std::size_t frames) override { return m_stream->ring().read(samples, frames * m_channels); }
    void interrupt() override { m_stream->ring().interrupt(); }

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
        m_interrupted = false;
        return m_stream->start();
    }
    // A stop after the last buffer lets the ring play out; an interrupted one drops it.
    void stop() override { m_stream->stop(!m_interrupted); }
    bool write(const std::int16_t* samples, std::size_t frames) override
    {
        return m_stream->ring().write(samples, frames * m_channels);
    }
    void interrupt() override
    {
        m_interrupted = true;
        m_stream->ring().interrupt();
    }

private:
    std::unique_ptr<PortAudioStream> m_stream;
    std::uint32_t m_channels;
    std::atomic<bool> m_interrupted { false };
};

} // namespace

std::shared_ptr<PortAudioDevice> PortAudioDevice::create(std::string* reason)
{
    QuietStandardError quiet;
    PaError error = Pa_Initialize();
    if (error != paNoError) {
        if (reason)
            *reason = Pa_GetErrorText(error);
        return nullptr;
    }
    if (Pa_GetDefaultInputDevice() == paNoDevice || Pa_GetDefaultOutputDevice() == paNoDevice) {
        if (reason)
            *reason = Pa_GetDefaultInputDevice() == paNoDevice ? "no microphone" : "no speaker";
        Pa_Terminate();
        return nullptr;
    }
    return std::shared_ptr<PortAudioDevice>(new PortAudioDevice());
}

PortAudioDevice::~PortAudioDevice()
{
    QuietStandardError quiet;
    Pa_Terminate();
}

namespace {

template<typename Stream>
std::unique_ptr<Stream> openPortAudioStream(std::shared_ptr<PortAudioDevice> device, const StreamBasicDescription& format,
    bool input, Status* error)
{
    Status status = isLinearPCM16(format) ? noErr : kQueueUnsupportedFormatError;
    auto stream = std::make_unique<PortAudioStream>(std::move(device), format);
    if (status == noErr)
        status = stream->open(format, input);
    if (error)
        *error = status;
    if (status != noErr)
        return nullptr;
    return std::make_unique<Stream>(std::move(stream), format.mChannelsPerFrame);
}

} // namespace

std::unique_ptr<InputStream> PortAudioDevice::openInput(const StreamBasicDescription& format, Status* error)
{
    return openPortAudioStream<PortAudioInputStream>(shared_from_this(), format, true, error);
}

std::unique_ptr<OutputStream> PortAudioDevice::openOutput(const StreamBasicDescription& format, Status* error)
{
    return openPortAudioStream<PortAudioOutputStream>(shared_from_this(), format, false, error);
}

} // namespace audio
