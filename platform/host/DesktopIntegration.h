#pragma once

#include <memory>
#include <string>

class QWindow;

namespace host {

/// Connects the application's hooks to the desktop while the program runs: the icon badge
/// goes to the launcher (the common launcher-entry D-Bus signal, when a session bus exists)
/// and into the window title, web addresses open with the desktop's handler, and ending the
/// application quits Qt's event loop. Main thread; one at a time.
class DesktopIntegration {
public:
    DesktopIntegration();
    ~DesktopIntegration();
    DesktopIntegration(const DesktopIntegration&) = delete;
    DesktopIntegration& operator=(const DesktopIntegration&) = delete;

    /// The window whose title shows the badge (null: none); its title is set at once.
    void setWindow(QWindow* window);

private:
    void showBadge(int count);

    QWindow* m_window { nullptr };
};

/// The window title for a badge count: "Parlivo", or "Parlivo (3)".
std::string windowTitleForBadge(int count);

} // namespace host
