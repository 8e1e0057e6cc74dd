#pragma once

#include "graphics/AffineTransform.h"
#include "graphics/Geometry.h"

#include <optional>
#include <vector>

namespace gfx {

/// A mutable path of subpaths made of lines and circular arcs, in the coordinates of the
/// context that later fills or clips with it (the path itself knows no orientation).
class Path {
public:
    enum class ElementType { MoveTo, LineTo, Arc, Close };
    /// One recorded step. For an arc: centre, radius, start and end angles in radians
    /// (measured from the positive x axis towards the positive y axis) and the direction.
    struct Element {
        ElementType type { ElementType::MoveTo };
        Point point;
        float radius { 0 };
        float startAngle { 0 };
        float endAngle { 0 };
        bool clockwise { false };
    };

    /// Starts a new subpath at p.
    void moveTo(Point p);
    /// A straight line from the current point to p; without a current point it starts a
    /// subpath at p instead.
    void lineTo(Point p);
    /// A circular arc around centre from startAngle to endAngle. With clockwise false the
    /// angle grows from start to end (going once round when end is below start); with true it
    /// shrinks. A line joins the current point to the arc's start; without a current point
    /// the arc starts a new subpath. A radius below 0 is treated as 0.
    void addArc(Point centre, float radius, float startAngle, float endAngle, bool clockwise);
    /// A closed rectangular subpath.
    void addRect(const Rect& r);
    /// Closes the current subpath with a line back to its start; does nothing without one.
    void closeSubpath();

    bool isEmpty() const { return m_elements.empty(); }
    const std::vector<Element>& elements() const { return m_elements; }
    /// The end of the last element, if any.
    std::optional<Point> currentPoint() const { return m_current; }
    /// The smallest rectangle holding every point the path passes through.
    Rect boundingBox() const;
    /// The signed angle an arc element covers, in radians: positive when the angle grows.
    static double arcSweep(const Element& arc);

private:
    std::vector<Element> m_elements;
    std::optional<Point> m_current;
    std::optional<Point> m_subpathStart;
};

} // namespace gfx
