#include "audio/Session.h"

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

} // namespace audio
