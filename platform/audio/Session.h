#pragma once

#include "audio/Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace foundation {
class RunLoop;
class Timer;
}

namespace audio {

enum class SessionProperty : std::uint32_t {
    /// 32-bit unsigned: one of the categories below.
    AudioCategory = fourCharCode("acat"),
};

constexpr std::uint32_t kSessionCategoryAmbientSound = fourCharCode("ambi");
constexpr std::uint32_t kSessionCategorySoloAmbientSound = fourCharCode("solo");
constexpr std::uint32_t kSessionCategoryMediaPlayback = fourCharCode("medi");
constexpr std::uint32_t kSessionCategoryRecordAudio = fourCharCode("reca");
/// Playing in this category goes to the earpiece on a handset.
constexpr std::uint32_t kSessionCategoryPlayAndRecord = fourCharCode("plar");

/// Interruption states handed to the session's listener.
constexpr std::uint32_t kSessionEndInterruption = 0;
constexpr std::uint32_t kSessionBeginInterruption = 1;

/// What on this platform interrupts the sound.
enum class InterruptionCause : std::uint32_t {
    /// A queue's device failed or stopped calling back.
    DeviceLost = 1 << 0,
    /// The system is about to sleep.
    SystemSleep = 1 << 1,
};

/// The process's audio session: its category, whether it is active, and the listener told
/// when the sound is interrupted. The audio layer begins an interruption when a device is
/// lost and ends it when the current device is usable again; the host begins and ends one
/// around the system's sleep. Safe from any thread.
class Session {
public:
    using InterruptionListener = std::function<void(std::uint32_t interruptionState)>;

    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    static Session& shared();
    /// Forgets the listener and returns to the initial state (tests).
    static void resetShared();

    /// Installs the interruption listener, called on runLoop (the main run loop when null).
    /// A second initialisation replaces the first.
    Status initialize(foundation::RunLoop* runLoop, InterruptionListener listener);
    Status setProperty(SessionProperty property, std::uint32_t size, const void* data);
    Status getProperty(SessionProperty property, std::uint32_t* ioSize, void* outData) const;
    Status setActive(bool active);

    std::uint32_t category() const;
    bool isActive() const;
    bool isInitialized() const;

    /// Delivers an interruption state to the listener on its run loop, at the loop's next turn.
    /// Nothing happens before initialize().
    void raiseInterruption(std::uint32_t interruptionState);

    /// Begins an interruption for cause; the listener hears a begin only when no cause was
    /// active, and an end when the last one ends. Causes already active or not active are
    /// ignored.
    void beginInterruption(InterruptionCause cause);
    void endInterruption(InterruptionCause cause);
    bool isInterrupted(InterruptionCause cause) const;
    /// A queue's device stopped working: begins a DeviceLost interruption and, on the
    /// listener's run loop, asks the current device every second whether it is usable again,
    /// which ends it.
    void deviceLost();

private:
    void watchDevice();


    mutable std::mutex m_mutex;
    foundation::RunLoop* m_runLoop { nullptr };
    InterruptionListener m_listener;
    bool m_initialized { false };
    bool m_active { false };
    std::uint32_t m_category { kSessionCategorySoloAmbientSound };
    std::uint32_t m_causes { 0 };
    std::shared_ptr<foundation::Timer> m_deviceWatch;
};

} // namespace audio
