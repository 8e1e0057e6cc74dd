#pragma once

#include <functional>
#include <string>

namespace host {

/// How the program shows its screen.
struct HostOptions {
    /// Pixels per point of the window (2: a 640 × 960 window).
    float scale { 2 };
    /// When set, nothing is shown: the screen is rendered off screen and written to this PNG
    /// file after screenshotAfter seconds of run-loop time, and the program ends.
    std::string screenshotPath;
    double screenshotAfter { 0 };
};

/// The desktop host: the one place that owns the toolkit's application object. It sets the
/// screen's scale, calls launch (which builds the user interface and shows the key window),
/// then either runs the toolkit's event loop with a window showing the key window until that
/// window is closed, or (headless) renders a screenshot. Returns the process exit code.
/// Main thread; call once.
int runHost(int argc, char** argv, const HostOptions& options, const std::function<void()>& launch);

} // namespace host
