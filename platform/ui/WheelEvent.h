#pragma once

#include "graphics/Geometry.h"

namespace ui {

/// Where a touchpad scroll is in its gesture. A mouse wheel has no gesture (None); a touchpad
/// sends Began, Changed and Ended while fingers are on it, then Momentum as the system
/// carries the scroll on.
enum class WheelPhase { None, Began, Changed, Ended, Momentum };

/// A scroll by the mouse wheel or the touchpad, in points of the screen. A positive delta
/// moves the content right or down, as a finger dragging the same way would, so a scroller
/// subtracts it from its offset.
struct WheelEvent {
    gfx::Point delta;
    WheelPhase phase { WheelPhase::None };
    /// Where the pointer was, in window coordinates.
    gfx::Point windowLocation;
    /// Run-loop time in seconds.
    double timestamp { 0 };
};

} // namespace ui
