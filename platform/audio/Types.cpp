#include "audio/Types.h"

namespace audio {

bool isLinearPCM16(const StreamBasicDescription& format)
{
    return format.mFormatID == kFormatLinearPCM && (format.mFormatFlags & kFormatFlagIsFloat) == 0
        && (format.mFormatFlags & kFormatFlagIsBigEndian) == 0 && (format.mFormatFlags & kFormatFlagIsSignedInteger) != 0
        && format.mBitsPerChannel == 16 && format.mFramesPerPacket == 1 && format.mChannelsPerFrame >= 1
        && format.mChannelsPerFrame <= 8 && format.mBytesPerFrame == 2 * format.mChannelsPerFrame
        && format.mBytesPerPacket == format.mBytesPerFrame && format.mSampleRate >= 1 && format.mSampleRate <= 384000;
}

} // namespace audio
