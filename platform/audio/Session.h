#pragma once

#include "audio/Types.h"

#include <cstdint>
#include <functional>
#include <mutex>

namespace foundation {
class RunLoop;
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

/// The process's audio session: its category, whether it is active, and the listener told
/// when another program interrupts the sound (on this platform the application and tests
/// raise interruptions themselves). Safe from any thread.
class Session {
public:
    using InterruptionListener = std::function<void(std::uint32_t interruptionState)>;

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

private:
    mutable std::mutex m_mutex;
    foundation::RunLoop* m_runLoop { nullptr };
    InterruptionListener m_listener;
    bool m_initialized { false };
    bool m_active { false };
    std::uint32_t m_category { kSessionCategorySoloAmbientSound };
};

} // namespace audio
