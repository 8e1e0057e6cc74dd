#include "graphics/Gradient.h"

#include <algorithm>

namespace gfx {

Gradient Gradient::withColorComponents(ColorSpace space, const std::vector<float>& components, const std::vector<float>& locations)
{
    Gradient g;
    g.m_space = space;
    size_t stride = space == ColorSpace::DeviceRGB ? 4 : 2;
    size_t count = components.size() / stride;
    for (size_t i = 0; i < count; ++i) {
        const float* c = components.data() + i * stride;
        Color color = stride == 4 ? Color::rgba(c[0], c[1], c[2], c[3]) : Color::grey(c[0], c[1]);
        float location = i < locations.size() ? locations[i] : (count > 1 ? float(i) / float(count - 1) : 0.0f);
        g.m_stops.push_back({ std::clamp(location, 0.0f, 1.0f), color });
    }
    std::stable_sort(g.m_stops.begin(), g.m_stops.end(), [](const Stop& x, const Stop& y) { return x.location < y.location; });
    return g;
}

Gradient Gradient::withColors(const std::vector<Color>& colors)
{
    std::vector<float> components;
    for (const Color& c : colors)
        components.insert(components.end(), { c.red, c.green, c.blue, c.alpha });
    return withColorComponents(ColorSpace::DeviceRGB, components);
}

} // namespace gfx
