#pragma once

#include "graphics/Geometry.h"

#include <optional>
#include <string>
#include <vector>

namespace host {

/// How the screen sits on a desktop. Sizes are in the desktop's logical pixels (device pixels
/// divided by the device pixel ratio), as the window system gives them; these are pure
/// decisions so that they can be tested without a display.

/// Whether the window fills its screen or is an ordinary window.
enum class WindowMode { Windowed, FullScreen };

/// Room kept free around the window for its title bar and frame when choosing its size.
constexpr float kWindowDecorationAllowance = 48;

/// The logical pixels per point for a window opening on a screen whose free area is
/// available: 2 when the designed 320 × 480 fits at 2 with room for the window's frame,
/// otherwise the largest multiple of 1/16 that fits (every such scale gives whole pixels for
/// 320 and 480), but never below 0.5. An empty or unknown area gives 2.
float fittingScale(gfx::Size available);

/// What is known of the display a window opens on.
struct DisplayFacts {
    /// Logical pixels.
    gfx::Size size;
    /// Its physical size in millimetres; zero when the display does not say.
    gfx::Size millimetres;
    /// The desktop's own words: XDG_CURRENT_DESKTOP and PLASMA_PLATFORM.
    std::string currentDesktop;
    std::string plasmaPlatform;
};

/// Whether the display is a handheld's. A phone shell says so (Phosh among the desktops, a
/// Plasma platform of "phone"); otherwise a display that gives its physical size is a
/// handheld's up to a diagonal of 7.5 inches, whatever its pixels; one that does not is a
/// handheld's when its shorter side is below 600 logical pixels.
bool isHandheldDisplay(const DisplayFacts& display);

/// Full screen on a handheld, a window elsewhere, unless the user asked for one of them.
WindowMode windowModeFor(const DisplayFacts& display, std::optional<WindowMode> asked);

/// The screen shown in a window: its size in points and the logical pixels per point.
struct ScreenFit {
    gfx::Size points;
    float scale { 0 };

    friend bool operator==(const ScreenFit&, const ScreenFit&) = default;
};

/// The screen for a window of this logical size: the whole window at the preferred scale, so
/// that a larger window gains points; a window too small for 320 × 480 points at that scale
/// draws them smaller (the scale at which its shorter way holds them), still filling it. An
/// empty window gives the designed size at the preferred scale.
ScreenFit screenFitForWindow(gfx::Size window, float preferredScale);

/// The scale of the images to load for pixelsPerPoint device pixels per point: 2 from 1.5
/// device pixels per point up (a 2x image shrunk stays sharp, a 1x one enlarged does not), else 1.
float imageScaleFor(float pixelsPerPoint);

/// A window's place on the desktop, kept between runs.
struct SavedWindowGeometry {
    gfx::Rect frame;
    bool maximised { false };

    friend bool operator==(const SavedWindowGeometry&, const SavedWindowGeometry&) = default;
};

/// "x y width height maximised" on one line; nothing for anything else.
std::optional<SavedWindowGeometry> parseWindowGeometry(const std::string& text);
std::string windowGeometryText(const SavedWindowGeometry& geometry);

/// Where a saved frame goes on a desktop whose screens' free areas are given: on the screen
/// holding the frame's centre, shrunk to fit it and moved inside it; when no screen holds the
/// centre, only the size is kept (clamped to the first screen) and the window manager places it.
/// Nothing when there is no screen.
struct PlacedWindow {
    gfx::Rect frame;
    bool keepsPosition { false };
};
std::optional<PlacedWindow> placeSavedWindow(const gfx::Rect& saved, const std::vector<gfx::Rect>& available, gfx::Size minimum);

/// $XDG_STATE_HOME/parlivo/window (or under ~/.local/state).
std::string savedWindowGeometryPath();

} // namespace host
