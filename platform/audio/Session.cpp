#include "audio/Session.h"

#include "audio/Device.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <cstring>
#include <memory>

namespace audio {

namespace {

std::unique_ptr<Session>& sharedStorage()
{
    static std::unique_ptr<Session> session = std::make_unique<Session>();
    return session;
}

} // namespace

Session::~Session()
{
    if (m_deviceWatch)
        m_deviceWatch->invalidate();
}

Session& Session::shared()
{
    return *sharedStorage();
}

void Session::resetShared()
{
    sharedStorage() = std::make_unique<Session>();
}

Status Session::initialize(foundation::RunLoop* runLoop, InterruptionListener listener)
{
    std::lock_guard lock(m_mutex);
    m_runLoop = runLoop ? runLoop : &foundation::RunLoop::main();
    m_listener = std::move(listener);
    m_initialized = true;
    return noErr;
}

Status Session::setProperty(SessionProperty property, std::uint32_t size, const void* data)
{
    if (property != SessionProperty::AudioCategory)
        return kSessionUnsupportedPropertyError;
    if (!data || size != sizeof(std::uint32_t))
        return kSessionBadPropertySizeError;
    std::lock_guard lock(m_mutex);
    std::memcpy(&m_category, data, sizeof m_category);
    return noErr;
}

Status Session::getProperty(SessionProperty property, std::uint32_t* ioSize, void* outData) const
{
    if (property != SessionProperty::AudioCategory)
        return kSessionUnsupportedPropertyError;
    if (!ioSize || !outData || *ioSize < sizeof(std::uint32_t))
        return kSessionBadPropertySizeError;
    std::lock_guard lock(m_mutex);
    std::memcpy(outData, &m_category, sizeof m_category);
    *ioSize = sizeof m_category;
    return noErr;
}

Status Session::setActive(bool active)
{
    std::lock_guard lock(m_mutex);
    m_active = active;
    return noErr;
}

std::uint32_t Session::category() const
{
    std::lock_guard lock(m_mutex);
    return m_category;
}

bool Session::isActive() const
{
    std::lock_guard lock(m_mutex);
    return m_active;
}

bool Session::isInitialized() const
{
    std::lock_guard lock(m_mutex);
    return m_initialized;
}

void Session::raiseInterruption(std::uint32_t interruptionState)
{
    std::lock_guard lock(m_mutex);
    if (!m_initialized || !m_listener)
        return;
    // The listener is copied into the task, so a later initialize() does not change a
    // delivery already on its way.
    m_runLoop->post([listener = m_listener, interruptionState] { listener(interruptionState); });
}

void Session::beginInterruption(InterruptionCause cause)
{
    {
        std::lock_guard lock(m_mutex);
        auto bit = static_cast<std::uint32_t>(cause);
        bool first = m_causes == 0;
        if (m_causes & bit)
            return;
        m_causes |= bit;
        if (!first)
            return;
    }
    raiseInterruption(kSessionBeginInterruption);
}

void Session::endInterruption(InterruptionCause cause)
{
    {
        std::lock_guard lock(m_mutex);
        auto bit = static_cast<std::uint32_t>(cause);
        if (!(m_causes & bit))
            return;
        m_causes &= ~bit;
        if (m_causes != 0)
            return;
    }
    raiseInterruption(kSessionEndInterruption);
}

bool Session::isInterrupted(InterruptionCause cause) const
{
    std::lock_guard lock(m_mutex);
    return (m_causes & static_cast<std::uint32_t>(cause)) != 0;
}

void Session::deviceLost()
{
    foundation::RunLoop* runLoop;
    {
        std::lock_guard lock(m_mutex);
        runLoop = m_runLoop;
    }
    beginInterruption(InterruptionCause::DeviceLost);
    // Timers belong to the loop's thread; the loss is usually noticed on an audio thread.
    if (runLoop)
        runLoop->post([] { Session::shared().watchDevice(); });
}

void Session::watchDevice()
{
    std::lock_guard lock(m_mutex);
    if (m_deviceWatch || !m_runLoop)
        return;
    m_deviceWatch = m_runLoop->scheduleTimer(1.0, true, [this](foundation::Timer& timer) {
        if (!currentDevice()->isUsable())
            return;
        timer.invalidate();
        {
            std::lock_guard lock(m_mutex);
            m_deviceWatch.reset();
        }
        foundation::log("The sound device is usable again.");
        endInterruption(InterruptionCause::DeviceLost);
    });
}

} // namespace audio
