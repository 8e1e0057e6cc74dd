#pragma once

#include "graphics/Context.h"

#include <memory>

namespace foundation {
class Timer;
}

namespace ui {

struct BatteryStatus;
class Window;

/// The system's strip across the top 20 points, drawn over the window's views: the time in the
/// locale's own form in the middle and, where the machine has a battery, its charge at the
/// right (Application::batteryStatus, which the host keeps from the system). It refreshes its
/// clock once a minute while its window is shown. Main thread.
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
    /// The time as shown: the locale's short time ("12:00 PM" in American English, "12:00" in
    /// German or French).
    static std::string timeText();
    /// The charge as shown beside the battery ("73%", "73 %").
    static std::string batteryText(const BatteryStatus& status);

    static constexpr float kBatteryWidth = 24;
    static constexpr float kBatteryHeight = 11;

private:
    void scheduleRefresh();

    Window& m_window;
    std::shared_ptr<foundation::Timer> m_refresh;
};

} // namespace ui
