#pragma once

#include "host/WindowGeometry.h"

#include <functional>
#include <vector>
#include <optional>
#include <string>

namespace host {

/// How the program shows its screen.
struct HostOptions {
    /// Logical pixels per point of the window at its opening (2: a 640 × 960 window); 0 chooses
    /// the scale that fits the screen (fittingScale), 2 for a screenshot.
    float scale { 0 };
    /// Full screen or a window; none: full screen on a handheld's screen only (windowModeFor).
    std::optional<WindowMode> windowMode;
    /// With a window: where a second start asks this one to bring its window to the front
    /// (InstanceChannel); empty: nowhere.
    std::string instanceSocketPath;
    /// What a later "parlivo import" asks this one to do (InstanceChannel::setImportHandler).
    std::function<std::optional<long long>(const std::string& path, std::string* reason)> importFile;
    /// What files dropped onto the window are given to, on the main run loop after the drop.
    std::function<void(const std::vector<std::string>& paths)> filesDropped;
    /// When set, nothing is shown: the screen is rendered off screen and written to this PNG
    /// file after screenshotAfter seconds of run-loop time, and the program ends.
    std::string screenshotPath;
    double screenshotAfter { 0 };
    /// With a screenshot: the screen's size in points (the designed 320 × 480 when unset).
    std::optional<gfx::Size> screenSize;
};

/// The desktop host: the one place that owns the toolkit's application object. It sets the
/// screen's scale, calls launch (which builds the user interface and shows the key window),
/// then either runs the toolkit's event loop with a window showing the key window until that
/// window is closed, or (headless) renders a screenshot. Returns the process exit code.
/// Main thread; call once.
int runHost(int argc, char** argv, const HostOptions& options, const std::function<void()>& launch);

} // namespace host
