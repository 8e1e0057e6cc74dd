#pragma once

#include <memory>
#include <string>

namespace host {

/// Keeps the screens' animations short while the desktop asks for less motion
/// (ui::ViewAnimator::setReducesMotion): the XDG desktop portal's settings on the session bus
/// (org.freedesktop.portal.Desktop, /org/freedesktop/portal/desktop, the interface
/// org.freedesktop.portal.Settings), whose "org.gnome.desktop.interface" "enable-animations"
/// is read when the watch starts or the portal appears and followed through SettingChanged.
/// A desktop that publishes nothing (no portal, no such setting) keeps the animations. Main
/// thread; needs Qt's event loop (the answers come asynchronously).
class MotionPreference {
public:
    /// Watches on the bus at busAddress, or on the session bus when it is empty.
    explicit MotionPreference(const std::string& busAddress = {});
    ~MotionPreference();
    MotionPreference(const MotionPreference&) = delete;
    MotionPreference& operator=(const MotionPreference&) = delete;

    /// Whether a bus was reached (the portal may still be missing from it).
    bool isWatching() const;

private:
    class Receiver;
    std::unique_ptr<Receiver> m_receiver;
};

} // namespace host
