#pragma once

#include <cstdint>

namespace audio {

/// The result of every audio-service call: 0 for success, otherwise one of the codes below.
using Status = std::int32_t;

constexpr Status noErr = 0;

// Files.
constexpr Status kFileUnspecifiedError = -1000;
constexpr Status kFileNotFoundError = -1001;
constexpr Status kFilePermissionsError = -1002;
constexpr Status kFileUnsupportedFileTypeError = -1003;
constexpr Status kFileUnsupportedDataFormatError = -1004;
constexpr Status kFileUnsupportedPropertyError = -1005;
constexpr Status kFileBadPropertySizeError = -1006;
constexpr Status kFileInvalidPacketOffsetError = -1007;
constexpr Status kFileInvalidFileError = -1008;
constexpr Status kFileExistsError = -1009;
constexpr Status kFileNotOpenError = -1010;
/// A write found no room: the disk or the process's file size limit is full.
constexpr Status kFileDiskFullError = -1011;

// Queues.
constexpr Status kQueueInvalidBufferError = -2000;
constexpr Status kQueueInvalidPropertyError = -2001;
constexpr Status kQueueInvalidPropertySizeError = -2002;
constexpr Status kQueueInvalidParameterError = -2003;
constexpr Status kQueueDisposedError = -2004;
constexpr Status kQueueBufferEmptyError = -2005;
constexpr Status kQueueUnsupportedFormatError = -2006;
constexpr Status kQueueDeviceError = -2007;
/// The device has no microphone (or speaker) to open: none is there, or none answers.
constexpr Status kQueueNoDeviceError = -2008;

// Session and system sounds.
constexpr Status kSessionUnsupportedPropertyError = -3000;
constexpr Status kSessionBadPropertySizeError = -3001;
constexpr Status kSystemSoundUnspecifiedError = -3100;

/// A four-character code as a 32-bit value, first character in the high byte: "lpcm".
constexpr std::uint32_t fourCharCode(const char (&code)[5])
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24)
        | (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16)
        | (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8)
        | static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

constexpr std::uint32_t kFormatLinearPCM = fourCharCode("lpcm");
constexpr std::uint32_t kFormatFlagIsFloat = 1;
constexpr std::uint32_t kFormatFlagIsBigEndian = 2;
constexpr std::uint32_t kFormatFlagIsSignedInteger = 4;
constexpr std::uint32_t kFormatFlagIsPacked = 8;

/// The data format of a stream, in the platform's 40-byte layout: the sample rate in frames
/// per second, then eight 32-bit fields. Read and written as a whole.
struct StreamBasicDescription {
    double mSampleRate { 0 };
    std::uint32_t mFormatID { 0 };
    std::uint32_t mFormatFlags { 0 };
    std::uint32_t mBytesPerPacket { 0 };
    std::uint32_t mFramesPerPacket { 0 };
    std::uint32_t mBytesPerFrame { 0 };
    std::uint32_t mChannelsPerFrame { 0 };
    std::uint32_t mBitsPerChannel { 0 };
    std::uint32_t mReserved { 0 };

    bool operator==(const StreamBasicDescription&) const = default;
};
static_assert(sizeof(StreamBasicDescription) == 40, "the platform's layout is 40 bytes");

/// 16-bit signed, packed, host-endian (little-endian) linear PCM: the one sample format the
/// devices and queues carry.
constexpr StreamBasicDescription linearPCM16(double sampleRate, std::uint32_t channels)
{
    StreamBasicDescription format;
    format.mSampleRate = sampleRate;
    format.mFormatID = kFormatLinearPCM;
    format.mFormatFlags = kFormatFlagIsSignedInteger | kFormatFlagIsPacked;
    format.mBytesPerPacket = 2 * channels;
    format.mFramesPerPacket = 1;
    format.mBytesPerFrame = 2 * channels;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 16;
    return format;
}

/// Whether format is 16-bit little-endian linear PCM with a usable rate and 1 to 8 channels.
bool isLinearPCM16(const StreamBasicDescription& format);

/// One packet of a variable-size format; unused (null) for linear PCM.
struct PacketDescription {
    std::int64_t mStartOffset { 0 };
    std::uint32_t mVariableFramesInPacket { 0 };
    std::uint32_t mDataByteSize { 0 };
};

/// A level reading of one channel on the linear scale 0 (silence) to 1 (full scale).
struct LevelMeterState {
    float mAveragePower { 0 };
    float mPeakPower { 0 };
};

/// The time of a buffer on the device's sample clock.
struct TimeStamp {
    double mSampleTime { 0 };
};

} // namespace audio
