#include "graphics/AffineTransform.h"

#include <algorithm>
#include <cmath>

namespace gfx {

AffineTransform AffineTransform::makeRotation(float angle)
{
    float s = std::sin(angle);
    float co = std::cos(angle);
    return { co, s, -s, co, 0, 0 };
}

AffineTransform AffineTransform::translated(float x, float y) const
{
    return makeTranslation(x, y).concatenated(*this);
}

AffineTransform AffineTransform::scaled(float sx, float sy) const
{
    return makeScale(sx, sy).concatenated(*this);
}

AffineTransform AffineTransform::rotated(float angle) const
{
    return makeRotation(angle).concatenated(*this);
}

AffineTransform AffineTransform::concatenated(const AffineTransform& o) const
{
    return {
        a * o.a + b * o.c,
        a * o.b + b * o.d,
        c * o.a + d * o.c,
        c * o.b + d * o.d,
        tx * o.a + ty * o.c + o.tx,
        tx * o.b + ty * o.d + o.ty,
    };
}

AffineTransform AffineTransform::inverted() const
{
    float det = a * d - b * c;
    if (det == 0)
        return *this;
    float inv = 1.0f / det;
    return {
        d * inv,
        -b * inv,
        -c * inv,
        a * inv,
        (c * ty - d * tx) * inv,
        (b * tx - a * ty) * inv,
    };
}

Point AffineTransform::apply(Point p) const
{
    return { a * p.x + c * p.y + tx, b * p.x + d * p.y + ty };
}

Size AffineTransform::apply(Size s) const
{
    return { a * s.width + c * s.height, b * s.width + d * s.height };
}

Rect AffineTransform::apply(const Rect& r) const
{
    Rect s = r.standardized();
    Point corners[4] = {
        apply(Point { s.minX(), s.minY() }),
        apply(Point { s.maxX(), s.minY() }),
        apply(Point { s.minX(), s.maxY() }),
        apply(Point { s.maxX(), s.maxY() }),
    };
    float left = corners[0].x, right = corners[0].x, top = corners[0].y, bottom = corners[0].y;
    for (const Point& p : corners) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    return Rect(left, top, right - left, bottom - top);
}

} // namespace gfx
