#pragma once

#include <memory>
#include <string>

namespace host {

/// Interrupts the sound while the system sleeps: logind's PrepareForSleep signal on the system
/// bus begins the audio session's interruption when it says true and ends it when it says
/// false (on waking). Without a bus it does nothing. Main thread; needs Qt's event loop.
class SleepWatcher {
public:
    /// Listens on the bus at busAddress, or on the system bus when it is empty.
    explicit SleepWatcher(const std::string& busAddress = {});
    ~SleepWatcher();
    SleepWatcher(const SleepWatcher&) = delete;
    SleepWatcher& operator=(const SleepWatcher&) = delete;

    /// Whether the signal is being listened to.
    bool isWatching() const;

private:
    class Receiver;
    std::unique_ptr<Receiver> m_receiver;
};

} // namespace host
