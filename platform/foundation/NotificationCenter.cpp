#include "foundation/NotificationCenter.h"

#include <algorithm>

namespace foundation {

namespace {
std::unique_ptr<NotificationCenter>& defaultCenterStorage()
{
    static std::unique_ptr<NotificationCenter> center = std::make_unique<NotificationCenter>();
    return center;
}
} // namespace

NotificationCenter& NotificationCenter::defaultCenter()
{
    return *defaultCenterStorage();
}

void NotificationCenter::resetDefaultCenter()
{
    auto& center = defaultCenterStorage();
    std::lock_guard lock(center->m_mutex);
    for (auto& registration : center->m_registrations)
        registration->removed = true;
    center->m_registrations.clear();
}

void NotificationCenter::addObserver(const void* observer, std::string name, const void* object, Handler handler)
{
    auto registration = std::make_shared<Registration>(Registration { observer, std::move(name), object, std::move(handler) });
    std::lock_guard lock(m_mutex);
    m_registrations.push_back(std::move(registration));
}

void NotificationCenter::markRemoved(const std::function<bool(const Registration&)>& match)
{
    std::lock_guard lock(m_mutex);
    auto end = std::remove_if(m_registrations.begin(), m_registrations.end(), [&](const auto& registration) {
        if (!match(*registration))
            return false;
        registration->removed = true;
        return true;
    });
    m_registrations.erase(end, m_registrations.end());
}

void NotificationCenter::removeObserver(const void* observer)
{
    markRemoved([&](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const std::string& name, const void* object)
{
    markRemoved([&](const Registration& r) {
        return r.observer == observer && (name.empty() || r.name == name) && (!object || r.object == object);
    });
}

void NotificationCenter::postNotification(const Notification& notification)
{
    std::vector<std::shared_ptr<Registration>> targets;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& registration : m_registrations) {
            if (!registration->name.empty() && registration->name != notification.name())
                continue;
            if (registration->object && registration->object != notification.object())
                continue;
            targets.push_back(registration);
        }
    }
    for (const auto& registration : targets) {
        {
            std::lock_guard lock(m_mutex);
            if (registration->removed)
                continue;
        }
        // The shared registration keeps the handler alive even if it removes itself.
        registration->handler(notification);
    }
}

void NotificationCenter::postNotificationName(const std::string& name, const void* object,
    std::map<std::string, std::string> userInfo)
{
    postNotification(Notification(name, object, std::move(userInfo)));
}

size_t NotificationCenter::observerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_registrations.size();
}

} // namespace foundation
