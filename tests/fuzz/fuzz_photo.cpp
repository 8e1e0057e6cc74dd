// Photos as the database stores them: any bytes decode to a picture or to none, never a crash.
#include "graphics/Image.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    auto image = gfx::Image::fromPNGData(std::vector<std::uint8_t>(data, data + size));
    if (image && image->pixelWidth() > 0 && image->pixelHeight() > 0)
        (void)image->pixelAt(0, 0);
    return 0;
}
