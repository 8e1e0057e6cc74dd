// Recording audio files: any file at a recording's path is mended or refused, opens or is
// refused, and an opened one reads its format, packet count and every packet without reading
// outside it. A mended header is consistent: mending it again changes nothing.
#include "audio/File.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    // In memory where there is room: mending flushes to the disk, which would slow every run.
    static const std::string path = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/parlivo-fuzz-caf-"
        + std::to_string(::getpid()) + ".caf";
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    bool repaired = false;
    if (audio::File::repairHeader(path, &repaired) == audio::noErr && repaired) {
        bool again = true;
        if (audio::File::repairHeader(path, &again) != audio::noErr || again)
            std::abort();
    }
    std::shared_ptr<audio::File> file;
    if (audio::File::open(path, audio::FilePermission::Read, audio::kFileCAFType, &file) != audio::noErr || !file)
        return 0;
    audio::StreamBasicDescription format {};
    std::uint64_t packets = 0;
    file->getProperty(audio::FileProperty::DataFormat, format);
    file->getProperty(audio::FileProperty::AudioDataPacketCount, packets);
    file->storesLinearPCM16();
    // A packet is a frame of every channel: room for the most channels a file may open with.
    constexpr std::uint32_t kFrames = 4096;
    std::vector<std::int16_t> buffer(kFrames * 8);
    for (std::int64_t start = 0; start < static_cast<std::int64_t>(packets) && start < (1 << 20);) {
        std::uint32_t count = kFrames;
        std::uint32_t bytes = 0;
        if (file->readPackets(false, &bytes, nullptr, start, &count, buffer.data()) != audio::noErr || count == 0)
            break;
        start += count;
    }
    return 0;
}
