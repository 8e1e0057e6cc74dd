#include "graphics/Color.h"

namespace gfx {

Color Color::interpolated(const Color& o, float t) const
{
    return {
        red + (o.red - red) * t,
        green + (o.green - green) * t,
        blue + (o.blue - blue) * t,
        alpha + (o.alpha - alpha) * t,
    };
}

} // namespace gfx
