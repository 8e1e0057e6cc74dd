#include "graphics/Geometry.h"

#include <algorithm>
#include <cmath>

namespace gfx {

float Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
float Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
float Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
float Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }

Rect Rect::standardized() const
{
    return Rect(minX(), minY(), std::fabs(size.width), std::fabs(size.height));
}

bool Rect::isEmpty() const
{
    return size.width == 0 || size.height == 0;
}

bool Rect::containsPoint(Point p) const
{
    return !isEmpty() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::intersects(const Rect& other) const
{
    return !intersection(other).isEmpty();
}

Rect Rect::intersection(const Rect& other) const
{
    if (isEmpty() || other.isEmpty())
        return {};
    float left = std::max(minX(), other.minX());
    float top = std::max(minY(), other.minY());
    float right = std::min(maxX(), other.maxX());
    float bottom = std::min(maxY(), other.maxY());
    if (right <= left || bottom <= top)
        return {};
    return Rect(left, top, right - left, bottom - top);
}

Rect Rect::united(const Rect& other) const
{
    if (isEmpty())
        return other.standardized();
    if (other.isEmpty())
        return standardized();
    float left = std::min(minX(), other.minX());
    float top = std::min(minY(), other.minY());
    float right = std::max(maxX(), other.maxX());
    float bottom = std::max(maxY(), other.maxY());
    return Rect(left, top, right - left, bottom - top);
}

Rect Rect::offsetBy(float dx, float dy) const
{
    return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

Rect Rect::insetBy(float dx, float dy) const
{
    Rect r = standardized();
    return Rect(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
}

Rect Rect::integral() const
{
    if (isEmpty())
        return standardized();
    float left = std::floor(minX());
    float top = std::floor(minY());
    return Rect(left, top, std::ceil(maxX()) - left, std::ceil(maxY()) - top);
}

} // namespace gfx
