#pragma once

#include "graphics/Geometry.h"

#include <optional>

namespace host {

/// How the 320 × 480-point phone screen sits on a desktop. Sizes are in the desktop's logical
/// pixels (device pixels divided by the device pixel ratio), as the window system gives them;
/// these are pure decisions so that they can be tested without a display.

/// Whether the window fills its screen or is an ordinary window.
enum class WindowMode { Windowed, FullScreen };

/// Room kept free around the window for its title bar and frame when choosing its size.
constexpr float kWindowDecorationAllowance = 48;

/// The logical pixels per point for a window opening on a screen whose free area is
/// available: 2 when the phone screen fits at 2 with room for the window's frame, otherwise
/// the largest multiple of 1/16 that fits (every such scale gives whole pixels for 320 and
/// 480), but never below 0.5. An empty or unknown area gives 2.
float fittingScale(gfx::Size available);

/// Whether a screen of this logical size is a handheld's: its shorter side is below 600 logical
/// pixels (phones are about 360 to 480 wide, even the smallest laptops and tablets 600 or more).
bool isHandheldScreen(gfx::Size screen);

/// Full screen on a handheld, a window elsewhere, unless the user asked for one of them.
WindowMode windowModeFor(gfx::Size screen, std::optional<WindowMode> asked);

/// Where the phone screen is drawn in a window of this size: the largest rectangle of its
/// proportions that fits, centred; the rest of the window stays black. An empty window gives
/// an empty rectangle at its centre.
gfx::Rect screenRectInWindow(gfx::Size window);

/// The scale of the images to load for pixelsPerPoint device pixels per point: 2 from 1.5
/// device pixels per point up (a 2x image shrunk stays sharp, a 1x one enlarged does not), else 1.
float imageScaleFor(float pixelsPerPoint);

} // namespace host
