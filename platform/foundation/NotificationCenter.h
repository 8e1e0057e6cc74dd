#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace foundation {

/// One posted notification: a name, the posting object and optional user information.
/// The object is an identity: the address of the poster as the type its notification is
/// documented with (the system posts, say, the queue notifications with the
/// AudioQueueObject*). Observers compare it or cast it back with objectAs<T>().
class Notification {
public:
    Notification(std::string name, const void* object, std::map<std::string, std::string> userInfo = {})
        : m_name(std::move(name))
        , m_object(object)
        , m_userInfo(std::move(userInfo))
    {
    }

    const std::string& name() const { return m_name; }
    const void* object() const { return m_object; }
    template<typename T>
    T* objectAs() const { return static_cast<T*>(const_cast<void*>(m_object)); }
    const std::map<std::string, std::string>& userInfo() const { return m_userInfo; }

private:
    std::string m_name;
    const void* m_object;
    std::map<std::string, std::string> m_userInfo;
};

/// Named notifications between subsystems. Delivery is synchronous, on the posting thread,
/// to the observers registered for the name (and for the poster, when an observer gave one)
/// in the order they registered. Observers may be added or removed from any thread and from
/// inside a handler, the running one included: an observer removed during a post is not
/// called afterwards, one added during a post is first called by the next post.
class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    /// The process-wide centre, made on first use.
    static NotificationCenter& defaultCenter();
    /// Drops every observer of the default centre (tests start from scratch with it).
    static void resetDefaultCenter();

    /// Registers handler for notifications called name (empty: every name) posted by object
    /// (null: any poster). observer is the identity used to remove the registration later.
    void addObserver(const void* observer, std::string name, const void* object, Handler handler);
    /// Removes every registration of observer.
    void removeObserver(const void* observer);
    /// Removes the registrations of observer for name (empty: any) and object (null: any).
    void removeObserver(const void* observer, const std::string& name, const void* object);

    void postNotification(const Notification& notification);
    void postNotificationName(const std::string& name, const void* object,
        std::map<std::string, std::string> userInfo = {});

    /// The number of registrations (for tests and leak checks).
    size_t observerCount() const;

private:
    struct Registration {
        const void* observer;
        std::string name;
        const void* object;
        Handler handler;
        bool removed { false };
    };

    void markRemoved(const std::function<bool(const Registration&)>& match);

    mutable std::recursive_mutex m_mutex;
    std::vector<std::shared_ptr<Registration>> m_registrations;
};

} // namespace foundation
