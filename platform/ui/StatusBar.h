#pragma once

#include "graphics/Context.h"

#include <memory>

namespace foundation {
class Timer;
}

namespace ui {

class Window;

/// The system's strip across the top 20 points: signal, time and battery, drawn over the
/// window's views. It refreshes its clock once a minute while its window is shown. Main thread.
class StatusBar {
public:
    explicit StatusBar(Window& window);
    ~StatusBar();
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    /// Paints the bar into context in window coordinates.
    void draw(gfx::Context& context);
    /// Starts or stops the minute refresh.
    void setShown(bool shown);
    /// The time as shown ("12:00 PM" in English).
    static std::string timeText();

private:
    void scheduleRefresh();

    Window& m_window;
    std::shared_ptr<foundation::Timer> m_refresh;
};

} // namespace ui
