#pragma once

#include <memory>
#include <string>

namespace host {

/// Keeps the application's battery (ui::Application::setBatteryStatus) as the system reports
/// it: UPower's display device on the system bus (org.freedesktop.UPower, the object
/// /org/freedesktop/UPower/devices/DisplayDevice), read when the watch starts or UPower
/// appears and followed through its PropertiesChanged signal. A machine whose display device
/// is no battery (a desktop), or a bus without UPower, shows none; UPower leaving the bus takes
/// the battery away. Main thread; needs Qt's event loop (the answers come asynchronously).
class BatteryWatcher {
public:
    /// Watches on the bus at busAddress, or on the system bus when it is empty.
    explicit BatteryWatcher(const std::string& busAddress = {});
    ~BatteryWatcher();
    BatteryWatcher(const BatteryWatcher&) = delete;
    BatteryWatcher& operator=(const BatteryWatcher&) = delete;

    /// Whether a bus was reached (UPower may still be missing from it).
    bool isWatching() const;

private:
    class Receiver;
    std::unique_ptr<Receiver> m_receiver;
};

} // namespace host
