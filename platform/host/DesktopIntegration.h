#pragma once

#include <memory>
#include <string>

class QWindow;

namespace host {

/// Connects the application's hooks to the desktop while the program runs: the icon badge
/// goes to the launcher (the common launcher-entry D-Bus signal with the desktop file's id,
/// when a session bus exists) and into the window title beside the shown screen's title, web
/// addresses open with the desktop's handler, the pasteboards are the system's clipboard and
/// primary selection (QClipboard), and ending the application quits Qt's event loop. Main
/// thread; one at a time; needs the QGuiApplication.
class DesktopIntegration {
public:
    DesktopIntegration();
    ~DesktopIntegration();
    DesktopIntegration(const DesktopIntegration&) = delete;
    DesktopIntegration& operator=(const DesktopIntegration&) = delete;

    /// The window whose title shows the shown screen and the badge (null: none); its title is
    /// set at once.
    void setWindow(QWindow* window);
    /// Sets the window's title again when the shown screen's title or the badge changed.
    void updateTitle();

private:
    void showBadge(int count);

    QWindow* m_window { nullptr };
    std::string m_title;
};

/// The window title for the shown screen's title and a badge count: "Parlivo",
/// "Recordings — Parlivo" or "Recordings — Parlivo (3)".
std::string windowTitle(const std::string& shownTitle, int badgeCount);

/// The launcher-entry address of the desktop file the program is installed with.
std::string launcherEntryURI();

} // namespace host
