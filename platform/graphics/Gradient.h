#pragma once

#include "graphics/Color.h"

#include <vector>

namespace gfx {

/// The colour space in which gradient stops are given.
enum class ColorSpace { DeviceRGB, DeviceGrey };

/// Options of Context::drawLinearGradient; without them nothing is painted before the start
/// point or beyond the end point.
enum GradientDrawingOptions : unsigned {
    GradientDrawsBeforeStartLocation = 1,
    GradientDrawsAfterEndLocation = 2,
};

/// Colour stops at locations from 0 to 1. Immutable once made.
class Gradient {
public:
    struct Stop {
        float location { 0 };
        Color color;
    };

    /// A gradient from packed components: four per stop (r, g, b, a) in DeviceRGB, two (grey,
    /// alpha) in DeviceGrey. With no locations the stops spread evenly from 0 to 1. Missing
    /// components make fewer stops; locations are clamped to 0–1 and sorted.
    static Gradient withColorComponents(ColorSpace space, const std::vector<float>& components, const std::vector<float>& locations = {});
    /// A gradient through colours spread evenly from 0 to 1.
    static Gradient withColors(const std::vector<Color>& colors);

    const std::vector<Stop>& stops() const { return m_stops; }
    ColorSpace colorSpace() const { return m_space; }

private:
    std::vector<Stop> m_stops;
    ColorSpace m_space { ColorSpace::DeviceRGB };
};

} // namespace gfx
