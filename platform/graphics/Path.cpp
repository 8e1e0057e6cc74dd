#include "graphics/Path.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gfx {

void Path::moveTo(Point p)
{
    m_elements.push_back({ ElementType::MoveTo, p });
    m_current = p;
    m_subpathStart = p;
}

void Path::lineTo(Point p)
{
    if (!m_current) {
        moveTo(p);
        return;
    }
    m_elements.push_back({ ElementType::LineTo, p });
    m_current = p;
}

void Path::addArc(Point centre, float radius, float startAngle, float endAngle, bool clockwise)
{
    radius = std::max(radius, 0.0f);
    Point start { centre.x + radius * std::cos(startAngle), centre.y + radius * std::sin(startAngle) };
    if (m_current)
        lineTo(start);
    else
        moveTo(start);
    m_elements.push_back({ ElementType::Arc, centre, radius, startAngle, endAngle, clockwise });
    m_current = Point { centre.x + radius * std::cos(endAngle), centre.y + radius * std::sin(endAngle) };
}

void Path::addRect(const Rect& r)
{
    moveTo({ r.minX(), r.minY() });
    lineTo({ r.maxX(), r.minY() });
    lineTo({ r.maxX(), r.maxY() });
    lineTo({ r.minX(), r.maxY() });
    closeSubpath();
}

void Path::closeSubpath()
{
    if (!m_current)
        return;
    m_elements.push_back({ ElementType::Close, *m_subpathStart });
    m_current = m_subpathStart;
}

double Path::arcSweep(const Element& arc)
{
    constexpr double twoPi = 2 * std::numbers::pi;
    double sweep = double(arc.endAngle) - double(arc.startAngle);
    // Going the given way round: a sweep against the direction wraps once round the circle.
    if (!arc.clockwise && sweep < 0)
        sweep = std::fmod(sweep, twoPi) + twoPi;
    else if (arc.clockwise && sweep > 0)
        sweep = std::fmod(sweep, twoPi) - twoPi;
    return sweep;
}

Rect Path::boundingBox() const
{
    bool any = false;
    float left = 0, top = 0, right = 0, bottom = 0;
    auto include = [&](Point p) {
        if (!any) {
            left = right = p.x;
            top = bottom = p.y;
            any = true;
            return;
        }
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    };
    for (const Element& e : m_elements) {
        if (e.type != ElementType::Arc) {
            include(e.point);
            continue;
        }
        // Sample the arc finely enough that the box is exact to well below a pixel.
        double sweep = arcSweep(e);
        int steps = std::max(4, int(std::ceil(std::fabs(sweep) / 0.05)));
        for (int i = 0; i <= steps; ++i) {
            double angle = e.startAngle + sweep * i / steps;
            include({ float(e.point.x + e.radius * std::cos(angle)), float(e.point.y + e.radius * std::sin(angle)) });
        }
    }
    return any ? Rect(left, top, right - left, bottom - top) : Rect();
}

} // namespace gfx
