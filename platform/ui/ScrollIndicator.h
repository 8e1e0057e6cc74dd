#pragma once

#include "ui/View.h"

namespace ui {

/// The thin dark bar at the right (or bottom) edge of a scroll view that shows which part of
/// the content is in view. Its scroll view places it and fades it; it takes no touches.
/// Main thread only.
class ScrollIndicator : public View {
public:
    /// How thick the bar is and how far it keeps from the edges, in points.
    static constexpr float kThickness = 3;
    static constexpr float kInset = 2;
    /// The shortest the bar gets, however long the content or far the bounce.
    static constexpr float kMinimumLength = 7;

    ScrollIndicator();

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
};

} // namespace ui
