// Photos as the database stores them: any bytes decode to a picture or to none, never a crash,
// whole and at the small size a row shows them (a PNG larger than that is read row by row).
#include "graphics/Image.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    for (const auto& image : { gfx::Image::fromPNGData(bytes), gfx::Image::fromDataFitting(bytes, 8, gfx::Image::Fit::Inside) }) {
        if (image && image->pixelWidth() > 0 && image->pixelHeight() > 0)
            (void)image->pixelAt(image->pixelWidth() - 1, image->pixelHeight() - 1);
    }
    return 0;
}
