#pragma once

namespace gfx {

/// A point in the coordinates of whatever draws or lays out: single-precision, as the
/// platform's geometry is.
struct Point {
    float x { 0 };
    float y { 0 };

    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    float width { 0 };
    float height { 0 };

    friend bool operator==(const Size&, const Size&) = default;
};

/// A rectangle given by its origin and size. A negative width or height is allowed and is
/// read as the same area standardized (the geometry functions below standardize first).
struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(float x, float y, float width, float height)
        : origin { x, y }
        , size { width, height }
    {
    }
    Rect(Point o, Size s)
        : origin(o)
        , size(s)
    {
    }

    float x() const { return origin.x; }
    float y() const { return origin.y; }
    float width() const { return size.width; }
    float height() const { return size.height; }
    float minX() const;
    float minY() const;
    float maxX() const;
    float maxY() const;
    float midX() const { return origin.x + size.width * 0.5f; }
    float midY() const { return origin.y + size.height * 0.5f; }
    Point center() const { return { midX(), midY() }; }

    /// The same area with a non-negative width and height.
    Rect standardized() const;
    /// Whether the area is zero (a null rectangle is empty too).
    bool isEmpty() const;
    /// Whether p lies inside; the minimum edges are inside, the maximum edges are not.
    bool containsPoint(Point p) const;
    bool intersects(const Rect& other) const;
    /// The common area; an empty rectangle at the origin when there is none.
    Rect intersection(const Rect& other) const;
    /// The smallest rectangle holding both; an empty rectangle counts as nothing.
    Rect united(const Rect& other) const;
    /// Moved by (dx, dy).
    Rect offsetBy(float dx, float dy) const;
    /// Shrunk by dx on the left and right and dy on the top and bottom (grown when negative).
    Rect insetBy(float dx, float dy) const;
    /// The smallest rectangle with whole-number edges that holds this one.
    Rect integral() const;

    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace gfx
