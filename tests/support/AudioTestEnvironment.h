#pragma once

#include "TestEnvironment.h"

#include "audio/Session.h"
#include "audio/VirtualDevice.h"
#include "foundation/FileManager.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

/// A test environment whose audio goes through a fresh virtual device (paced by the manual
/// clock's run loop) and a fresh audio session. Header-only, for the suites that link audio.
class AudioTestEnvironment : public TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        foundation::documentsDirectory(); // made on first use
        audio::Session::resetShared();
        m_device = std::make_shared<audio::VirtualDevice>();
        audio::setCurrentDevice(m_device);
    }
    void TearDown() override
    {
        audio::setCurrentDevice(nullptr);
        m_device.reset();
        TestEnvironment::TearDown();
    }
    audio::VirtualDevice& device() { return *m_device; }

private:
    std::shared_ptr<audio::VirtualDevice> m_device;
};

/// What a CAF file's own bytes say: the 'desc' chunk and the data, read without libsndfile.
struct CAFContents {
    double sampleRate { 0 };
    std::string formatID;
    std::uint32_t formatFlags { 0 };
    std::uint32_t bytesPerPacket { 0 };
    std::uint32_t framesPerPacket { 0 };
    std::uint32_t channelsPerFrame { 0 };
    std::uint32_t bitsPerChannel { 0 };
    /// The samples the data chunk's size covers, as little-endian 16-bit values.
    std::vector<std::int16_t> samples;
};

inline std::uint64_t readBigEndian(const std::string& bytes, size_t at, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

/// Parses a CAF file; none when it is not one or its chunks are cut short.
inline std::optional<CAFContents> readCAF(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 8 || bytes.compare(0, 4, "caff") != 0)
        return std::nullopt;
    CAFContents contents;
    bool haveDesc = false;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        std::string type = bytes.substr(at, 4);
        auto size = static_cast<std::int64_t>(readBigEndian(bytes, at + 4, 8));
        size_t body = at + 12;
        if (type == "desc" && body + 32 <= bytes.size()) {
            std::uint64_t rateBits = readBigEndian(bytes, body, 8);
            std::memcpy(&contents.sampleRate, &rateBits, 8);
            contents.formatID = bytes.substr(body + 8, 4);
            contents.formatFlags = static_cast<std::uint32_t>(readBigEndian(bytes, body + 12, 4));
            contents.bytesPerPacket = static_cast<std::uint32_t>(readBigEndian(bytes, body + 16, 4));
            contents.framesPerPacket = static_cast<std::uint32_t>(readBigEndian(bytes, body + 20, 4));
            contents.channelsPerFrame = static_cast<std::uint32_t>(readBigEndian(bytes, body + 24, 4));
            contents.bitsPerChannel = static_cast<std::uint32_t>(readBigEndian(bytes, body + 28, 4));
            haveDesc = true;
        }
        if (type == "data") {
            // The data chunk starts with a 4-byte edit count.
            size_t start = body + 4;
            size_t length = size < 0 ? bytes.size() - start : static_cast<size_t>(size - 4);
            if (!haveDesc || start + length > bytes.size())
                return std::nullopt;
            contents.samples.resize(length / 2);
            for (size_t i = 0; i < contents.samples.size(); ++i) {
                auto low = static_cast<unsigned char>(bytes[start + 2 * i]);
                auto high = static_cast<unsigned char>(bytes[start + 2 * i + 1]);
                contents.samples[i] = static_cast<std::int16_t>(low | (high << 8));
            }
            return contents;
        }
        if (size < 0)
            return std::nullopt;
        at = body + static_cast<size_t>(size);
    }
    return std::nullopt;
}

/// The samples of the virtual microphone's tone, as VirtualDevice documents them.
inline std::vector<std::int16_t> toneSamples(int frequency, double amplitude, int rate, size_t count, size_t first = 0)
{
    std::vector<std::int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        auto phase = static_cast<std::int64_t>(((first + i) * static_cast<size_t>(frequency)) % static_cast<size_t>(rate));
        double angle = 2 * std::numbers::pi * static_cast<double>(phase) / static_cast<double>(rate);
        samples[i] = static_cast<std::int16_t>(std::lround(amplitude * 32767.0 * std::sin(angle)));
    }
    return samples;
}

/// count samples that ramp through the whole 16-bit range, so any shift or loss shows.
inline std::vector<std::int16_t> rampSamples(size_t count, int step = 7)
{
    std::vector<std::int16_t> samples(count);
    for (size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::int32_t>((i * static_cast<size_t>(step)) % 65536) - 32768);
    return samples;
}

} // namespace testsupport
