#include "audio/VirtualDevice.h"

#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <numbers>
#include <sndfile.h>

namespace audio {

namespace {

// Copies frames of `from` channels into `to` channels: equal counts copy, mono output mixes
// every channel, more output channels repeat the last input channel.
void convertChannels(const std::int16_t* in, std::uint32_t from, std::int16_t* out, std::uint32_t to, std::size_t frames)
{
    if (from == to) {
        std::memcpy(out, in, frames * from * sizeof(std::int16_t));
        return;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t* frame = in + f * from;
        if (to == 1) {
            std::int32_t sum = 0;
            for (std::uint32_t c = 0; c < from; ++c)
                sum += frame[c];
            out[f] = static_cast<std::int16_t>(sum / static_cast<std::int32_t>(from));
        } else {
            for (std::uint32_t c = 0; c < to; ++c)
                out[f * to + c] = frame[std::min(c, from - 1)];
        }
    }
}

// Real time for one stream: frames become due at the rate since start(), a pause holds the
// clock, and stop() ends the wait with the frames whose time has passed.
class RealTimePacer {
public:
    using Clock = std::chrono::steady_clock;

    void start()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = false;
        m_paused = false;
        m_origin = Clock::now();
        m_frames = 0;
    }
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_stopped && m_paused)
                m_origin += Clock::now() - m_pausedAt;
            m_stopped = true;
            m_paused = false;
        }
        m_condition.notify_all();
    }
    void setPaused(bool paused)
    {
        {
            std::lock_guard lock(m_mutex);
            if (paused == m_paused || m_stopped)
                return;
            if (paused)
                m_pausedAt = Clock::now();
            else
                m_origin += Clock::now() - m_pausedAt;
            m_paused = paused;
        }
        m_condition.notify_all();
    }
    // Waits until frames more frames at rate are due; after stop() gives the part of them
    // whose time had passed.
    std::size_t waitFor(std::size_t frames, double rate)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_stopped) {
                auto elapsed = static_cast<std::int64_t>(std::chrono::duration<double>(Clock::now() - m_origin).count() * rate);
                auto due = std::clamp<std::int64_t>(elapsed - m_frames, 0, static_cast<std::int64_t>(frames));
                m_frames += due;
                return static_cast<std::size_t>(due);
            }
            if (m_paused) {
                m_condition.wait(lock);
                continue;
            }
            auto due = m_origin + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(static_cast<double>(m_frames + static_cast<std::int64_t>(frames)) / rate));
            if (Clock::now() >= due) {
                m_frames += static_cast<std::int64_t>(frames);
                return frames;
            }
            m_condition.wait_until(lock, due);
        }
    }
    std::int64_t frames() const
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }
    void waitUntilStopped()
    {
        std::unique_lock lock(m_mutex);
        m_condition.wait(lock, [&] { return m_stopped; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_stopped { false };
    bool m_paused { false };
    Clock::time_point m_origin;
    Clock::time_point m_pausedAt;
    std::int64_t m_frames { 0 };
};

// What the virtual microphone's and speaker's streams share: the device, the format and,
// under Device pacing, the real-time pacer.
template<typename Interface>
class VirtualStream : public Interface {
public:
    VirtualStream(std::shared_ptr<VirtualDevice> device, const StreamBasicDescription& format, Pacing pacing)
        : m_device(std::move(device))
        , m_format(format)
        , m_pacing(pacing)
    {
    }
    Pacing pacing() const override { return m_pacing; }
    Status start() override
    {
        m_pacer.start();
        return noErr;
    }
    void stop() override { m_pacer.stop(); }
    void interrupt() override { m_pacer.stop(); }

protected:
    std::shared_ptr<VirtualDevice> m_device;
    StreamBasicDescription m_format;
    Pacing m_pacing;
    RealTimePacer m_pacer;
};

class VirtualInputStream final : public VirtualStream<InputStream> {
public:
    using VirtualStream::VirtualStream;
    // Frames are taken from the microphone once their time has passed, so a stop keeps
    // exactly what was captured until then.
    std::size_t read(std::int16_t* samples, std::size_t frames) override
    {
        // Unpaced, the microphone delivers its sound as fast as it is read and then has
        // nothing more to give, so a run as fast as possible ends where the sound ends.
        if (m_pacing == Pacing::Unpaced && m_device->microphoneExhausted()) {
            m_pacer.waitUntilStopped();
            return 0;
        }
        std::size_t got = m_pacing == Pacing::Device ? m_pacer.waitFor(frames, m_format.mSampleRate) : frames;
        if (got > 0)
            m_device->readMicrophone(samples, got, m_format.mSampleRate, m_format.mChannelsPerFrame);
        return got;
    }
};

class VirtualOutputStream final : public VirtualStream<OutputStream> {
public:
    using VirtualStream::VirtualStream;
    void playOnEarpiece() { m_earpiece = true; }
    // The frames count as played once their time has passed, so they are captured then.
    std::size_t write(const std::int16_t* samples, std::size_t frames) override
    {
        std::size_t got = m_pacing == Pacing::Device ? m_pacer.waitFor(frames, m_format.mSampleRate) : frames;
        if (got > 0 && m_earpiece)
            m_device->writeEarpiece(samples, got, m_format.mChannelsPerFrame);
        else if (got > 0)
            m_device->writeSpeaker(samples, got, m_format.mSampleRate, m_format.mChannelsPerFrame);
        return got;
    }
    void setPaused(bool paused) override { m_pacer.setPaused(paused); }
    std::int64_t framesPlayed() const override { return m_pacing == Pacing::Device ? m_pacer.frames() : -1; }

private:
    bool m_earpiece { false };
};

} // namespace

struct VirtualDevice::Microphone {
    enum class Kind { Silence, Tone, Samples, File };
    Kind kind { Kind::Silence };
    std::int64_t framesRead { 0 };

    // Tone: one period of every phase step at the table's rate.
    int frequency { 0 };
    double amplitude { 0 };
    std::vector<std::int16_t> table;
    std::int64_t tableRate { 0 };
    std::int64_t phase { 0 };

    // Samples (mono).
    std::vector<std::int16_t> samples;
    std::size_t position { 0 };

    // File.
    SNDFILE* file { nullptr };
    std::uint32_t fileChannels { 1 };
    std::vector<std::int16_t> scratch;

    ~Microphone() { closeFile(); }
    bool exhausted() const
    {
        return (kind == Kind::Samples && position >= samples.size()) || (kind == Kind::File && !file);
    }
    void closeFile()
    {
        if (file)
            sf_close(file);
        file = nullptr;
    }

    void read(std::int16_t* out, std::size_t frames, double sampleRate, std::uint32_t channels)
    {
        framesRead += static_cast<std::int64_t>(frames);
        switch (kind) {
        case Kind::Silence:
            std::memset(out, 0, frames * channels * sizeof(std::int16_t));
            return;
        case Kind::Tone:
            readTone(out, frames, sampleRate, channels);
            return;
        case Kind::Samples:
            readSamples(out, frames, channels);
            return;
        case Kind::File:
            readFile(out, frames, channels);
            return;
        }
    }

    void readTone(std::int16_t* out, std::size_t frames, double sampleRate, std::uint32_t channels)
    {
        auto rate = static_cast<std::int64_t>(std::llround(sampleRate));
        if (rate != tableRate) {
            tableRate = rate;
            table.resize(static_cast<std::size_t>(rate));
            for (std::int64_t k = 0; k < rate; ++k) {
                double angle = 2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(rate);
                table[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(std::lround(amplitude * 32767.0 * std::sin(angle)));
            }
            phase %= rate;
        }
        for (std::size_t f = 0; f < frames; ++f) {
            std::int16_t value = table[static_cast<std::size_t>(phase)];
            for (std::uint32_t c = 0; c < channels; ++c)
                *out++ = value;
            phase += frequency;
            if (phase >= rate)
                phase %= rate;
        }
    }

    void readSamples(std::int16_t* out, std::size_t frames, std::uint32_t channels)
    {
        std::size_t available = std::min(frames, samples.size() - std::min(position, samples.size()));
        if (channels == 1) {
            std::memcpy(out, samples.data() + position, available * sizeof(std::int16_t));
        } else {
            convertChannels(samples.data() + position, 1, out, channels, available);
        }
        position += available;
        std::memset(out + available * channels, 0, (frames - available) * channels * sizeof(std::int16_t));
    }

    void readFile(std::int16_t* out, std::size_t frames, std::uint32_t channels)
    {
        std::size_t got = 0;
        if (file) {
            if (fileChannels == channels) {
                got = static_cast<std::size_t>(std::max<sf_count_t>(0, sf_readf_short(file, out, static_cast<sf_count_t>(frames))));
            } else {
                scratch.resize(frames * fileChannels);
                got = static_cast<std::size_t>(std::max<sf_count_t>(0, sf_readf_short(file, scratch.data(), static_cast<sf_count_t>(frames))));
                convertChannels(scratch.data(), fileChannels, out, channels, got);
            }
            if (got < frames)
                closeFile();
        }
        std::memset(out + got * channels, 0, (frames - got) * channels * sizeof(std::int16_t));
    }
};

struct VirtualDevice::Speaker {
    bool toMemory { true };
    std::vector<std::int16_t> samples;
    std::string path;
    SNDFILE* file { nullptr };
    int fd { -1 };
    std::uint32_t fileChannels { 0 };
    std::vector<std::int16_t> scratch;

    ~Speaker() { closeFile(); }
    void closeFile()
    {
        if (file)
            sf_close(file);
        file = nullptr;
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

    void write(const std::int16_t* in, std::size_t frames, double sampleRate, std::uint32_t channels)
    {
        if (toMemory)
            samples.insert(samples.end(), in, in + frames * channels);
        if (path.empty())
            return;
        if (!file && !openFile(sampleRate, channels))
            return;
        if (fileChannels == channels) {
            sf_writef_short(file, in, static_cast<sf_count_t>(frames));
            return;
        }
        scratch.resize(frames * fileChannels);
        convertChannels(in, channels, scratch.data(), fileChannels, frames);
        sf_writef_short(file, scratch.data(), static_cast<sf_count_t>(frames));
    }

    bool openFile(double sampleRate, std::uint32_t channels)
    {
        bool wav = path.size() >= 4 && path.compare(path.size() - 4, 4, ".wav") == 0;
        SF_INFO info {};
        info.samplerate = static_cast<int>(std::lround(sampleRate));
        info.channels = static_cast<int>(channels);
        info.format = (wav ? SF_FORMAT_WAV : SF_FORMAT_CAF) | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
        // What was played may be private: the file is the owner's only.
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0)
            file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
        if (!file) {
            foundation::logf("Cannot write the speaker's sound to %s: %s", path.c_str(),
                fd < 0 ? std::strerror(errno) : sf_strerror(nullptr));
            closeFile();
            path.clear();
            return false;
        }
        sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        fileChannels = channels;
        return true;
    }
};

VirtualDevice::VirtualDevice()
    : m_microphone(std::make_unique<Microphone>())
    , m_speaker(std::make_unique<Speaker>())
{
}

VirtualDevice::~VirtualDevice() = default;

namespace {

template<typename Stream>
std::unique_ptr<Stream> openVirtualStream(std::shared_ptr<VirtualDevice> device, const StreamBasicDescription& format,
    Status* error, std::string* reason)
{
    bool usable = isLinearPCM16(format);
    if (error)
        *error = usable ? noErr : kQueueUnsupportedFormatError;
    if (!usable) {
        if (reason)
            *reason = "not 16-bit linear PCM";
        return nullptr;
    }
    Pacing pacing = device->resolvedPacing();
    return std::make_unique<Stream>(std::move(device), format, pacing);
}

} // namespace

std::unique_ptr<InputStream> VirtualDevice::openInput(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    return openVirtualStream<VirtualInputStream>(shared_from_this(), format, error, reason);
}

std::unique_ptr<OutputStream> VirtualDevice::openOutput(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    return openVirtualStream<VirtualOutputStream>(shared_from_this(), format, error, reason);
}

void VirtualDevice::setPacing(std::optional<Pacing> pacing)
{
    std::lock_guard lock(m_mutex);
    m_pacing = pacing;
}

Pacing VirtualDevice::resolvedPacing() const
{
    {
        std::lock_guard lock(m_mutex);
        if (m_pacing)
            return *m_pacing;
    }
    return foundation::RunLoop::main().clock().isManual() ? Pacing::RunLoop : Pacing::Device;
}

void VirtualDevice::setMicrophoneSilence()
{
    std::lock_guard lock(m_mutex);
    m_microphone->closeFile();
    m_microphone->kind = Microphone::Kind::Silence;
}

void VirtualDevice::setMicrophoneTone(int frequency, double amplitude)
{
    std::lock_guard lock(m_mutex);
    m_microphone->closeFile();
    m_microphone->kind = Microphone::Kind::Tone;
    m_microphone->frequency = std::max(frequency, 0);
    m_microphone->amplitude = std::clamp(amplitude, 0.0, 1.0);
    m_microphone->tableRate = 0;
    m_microphone->phase = 0;
}

void VirtualDevice::setMicrophoneSamples(std::vector<std::int16_t> samples)
{
    std::lock_guard lock(m_mutex);
    m_microphone->closeFile();
    m_microphone->kind = Microphone::Kind::Samples;
    m_microphone->samples = std::move(samples);
    m_microphone->position = 0;
}

bool VirtualDevice::setMicrophoneFile(const std::string& path)
{
    SF_INFO info {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        foundation::logf("Cannot play %s through the virtual microphone: %s", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_microphone->closeFile();
    m_microphone->kind = Microphone::Kind::File;
    m_microphone->file = file;
    m_microphone->fileChannels = static_cast<std::uint32_t>(std::max(info.channels, 1));
    return true;
}

bool VirtualDevice::microphoneExhausted() const
{
    std::lock_guard lock(m_mutex);
    return m_microphone->exhausted();
}

std::int64_t VirtualDevice::microphoneFramesRead() const
{
    std::lock_guard lock(m_mutex);
    return m_microphone->framesRead;
}

void VirtualDevice::setSpeakerCapturesToMemory(bool capture)
{
    std::lock_guard lock(m_mutex);
    m_speaker->toMemory = capture;
}

bool VirtualDevice::setSpeakerFile(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_speaker->closeFile();
    m_speaker->path = path;
    if (path.empty())
        return true;
    // Created at once, so a bad path is reported now; the format follows the first stream.
    if (!m_speaker->openFile(22050, 1))
        return false;
    m_speaker->closeFile();
    return true;
}

std::vector<std::int16_t> VirtualDevice::speakerSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_speaker->samples;
}

void VirtualDevice::clearSpeakerSamples()
{
    std::lock_guard lock(m_mutex);
    m_speaker->samples.clear();
}

void VirtualDevice::readMicrophone(std::int16_t* samples, std::size_t frames, double sampleRate, std::uint32_t channels)
{
    std::lock_guard lock(m_mutex);
    m_microphone->read(samples, frames, sampleRate, channels);
}

void VirtualDevice::writeSpeaker(const std::int16_t* samples, std::size_t frames, double sampleRate, std::uint32_t channels)
{
    std::lock_guard lock(m_mutex);
    m_speaker->write(samples, frames, sampleRate, channels);
}

void VirtualDevice::setHasEarpiece(bool hasEarpiece)
{
    std::lock_guard lock(m_mutex);
    m_hasEarpiece = hasEarpiece;
}

bool VirtualDevice::hasEarpiece()
{
    std::lock_guard lock(m_mutex);
    return m_hasEarpiece;
}

std::unique_ptr<OutputStream> VirtualDevice::openEarpiece(const StreamBasicDescription& format, Status* error, std::string* reason)
{
    if (!hasEarpiece())
        return Device::openEarpiece(format, error, reason);
    auto stream = openVirtualStream<VirtualOutputStream>(shared_from_this(), format, error, reason);
    if (stream)
        stream->playOnEarpiece();
    return stream;
}

std::vector<std::int16_t> VirtualDevice::earpieceSamples() const
{
    std::lock_guard lock(m_mutex);
    return m_earpieceSamples;
}

void VirtualDevice::clearEarpieceSamples()
{
    std::lock_guard lock(m_mutex);
    m_earpieceSamples.clear();
}

void VirtualDevice::writeEarpiece(const std::int16_t* samples, std::size_t frames, std::uint32_t channels)
{
    std::lock_guard lock(m_mutex);
    m_earpieceSamples.insert(m_earpieceSamples.end(), samples, samples + frames * channels);
}

void VirtualDevice::setNamedDevices(bool input, std::vector<DeviceDescription> devices)
{
    std::lock_guard lock(m_mutex);
    (input ? m_namedInputs : m_namedOutputs) = std::move(devices);
}

std::vector<DeviceDescription> VirtualDevice::namedDevices(bool input)
{
    std::lock_guard lock(m_mutex);
    return input ? m_namedInputs : m_namedOutputs;
}

} // namespace audio
