#pragma once

#include "graphics/Geometry.h"

namespace gfx {

/// An affine transform of six single-precision numbers. A point (x, y) maps to
/// (a·x + c·y + tx, b·x + d·y + ty). Every operation computes in single precision, so results
/// match the platform's bit for bit, which matters because views are told apart by comparing
/// transforms for exact equality.
struct AffineTransform {
    float a { 1 };
    float b { 0 };
    float c { 0 };
    float d { 1 };
    float tx { 0 };
    float ty { 0 };

    static AffineTransform identity() { return {}; }
    static AffineTransform make(float a, float b, float c, float d, float tx, float ty) { return { a, b, c, d, tx, ty }; }
    static AffineTransform makeTranslation(float tx, float ty) { return { 1, 0, 0, 1, tx, ty }; }
    static AffineTransform makeScale(float sx, float sy) { return { sx, 0, 0, sy, 0, 0 }; }
    /// A rotation by angle radians (counter-clockwise in a y-up space).
    static AffineTransform makeRotation(float angle);

    bool isIdentity() const { return *this == AffineTransform {}; }

    /// This transform preceded by a translation: points are moved by (x, y) first, then
    /// transformed by this one.
    AffineTransform translated(float x, float y) const;
    /// This transform preceded by a scaling.
    AffineTransform scaled(float sx, float sy) const;
    /// This transform preceded by a rotation.
    AffineTransform rotated(float angle) const;
    /// This transform followed by other: the result maps p to other(this(p)).
    AffineTransform concatenated(const AffineTransform& other) const;
    /// The inverse; a transform that cannot be inverted (determinant 0) is returned unchanged.
    AffineTransform inverted() const;

    Point apply(Point p) const;
    /// Maps the vector (dx, dy) without the translation.
    Size apply(Size s) const;
    /// The smallest rectangle holding the four mapped corners.
    Rect apply(const Rect& r) const;

    /// Exact equality of all six numbers, as the platform compares.
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

} // namespace gfx
