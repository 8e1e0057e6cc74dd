#include "host/MotionPreference.h"

#include "ui/ViewAnimator.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <QVariant>

#include <atomic>
#include <optional>

namespace host {

namespace {

const char* const kService = "org.freedesktop.portal.Desktop";
const char* const kPath = "/org/freedesktop/portal/desktop";
const char* const kSettings = "org.freedesktop.portal.Settings";
const char* const kNamespace = "org.gnome.desktop.interface";
const char* const kKey = "enable-animations";

QString connectionName()
{
    static std::atomic<int> counter { 0 };
    return QStringLiteral("parlivo-motion-%1").arg(++counter);
}

// A portal's value comes wrapped in variants (Read wraps it twice); a value that is no
// boolean says nothing.
std::optional<bool> booleanIn(QVariant value)
{
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.userType() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

void apply(std::optional<bool> animationsEnabled)
{
    ui::ViewAnimator::shared().setReducesMotion(animationsEnabled.has_value() && !*animationsEnabled);
}

} // namespace

class MotionPreference::Receiver : public QObject {
    Q_OBJECT
public:
    explicit Receiver(const std::string& busAddress)
        : m_connectionName(busAddress.empty() ? QString() : connectionName())
        , m_bus(busAddress.empty() ? QDBusConnection::sessionBus() : QDBusConnection::connectToBus(QString::fromStdString(busAddress), m_connectionName))
    {
        if (!m_bus.isConnected())
            return;
        m_watching = true;
        m_bus.connect(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kSettings), QStringLiteral("SettingChanged"), this,
            SLOT(settingChanged(QDBusMessage)));
        m_services = new QDBusServiceWatcher(QString::fromLatin1(kService), m_bus,
            QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_services, &QDBusServiceWatcher::serviceRegistered, this, [this] { read(); });
        connect(m_services, &QDBusServiceWatcher::serviceUnregistered, this, [] { apply(std::nullopt); });
        read();
    }
    ~Receiver() override
    {
        if (m_watching)
            m_bus.disconnect(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kSettings), QStringLiteral("SettingChanged"),
                this, SLOT(settingChanged(QDBusMessage)));
        delete m_services;
        if (!m_connectionName.isEmpty())
            QDBusConnection::disconnectFromBus(m_connectionName);
    }
    bool watching() const { return m_watching; }

public slots:
    // The whole message: a slot taking the variant itself is not matched to the signal.
    void settingChanged(const QDBusMessage& message)
    {
        const auto arguments = message.arguments();
        if (arguments.size() == 3 && arguments[0].toString() == QLatin1String(kNamespace) && arguments[1].toString() == QLatin1String(kKey))
            apply(booleanIn(arguments[2]));
    }

private:
    // ReadOne where the portal has it (version 2), else the older Read.
    void read(bool older = false)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath), QString::fromLatin1(kSettings),
            older ? QStringLiteral("Read") : QStringLiteral("ReadOne"));
        call << QString::fromLatin1(kNamespace) << QString::fromLatin1(kKey);
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, older](QDBusPendingCallWatcher* finished) {
            QDBusPendingReply<QDBusVariant> reply = *finished;
            finished->deleteLater();
            if (reply.isError()) {
                if (!older && reply.error().type() == QDBusError::UnknownMethod)
                    read(true);
                else
                    apply(std::nullopt);
                return;
            }
            apply(booleanIn(reply.value().variant()));
        });
    }

    QString m_connectionName;
    QDBusConnection m_bus;
    QDBusServiceWatcher* m_services { nullptr };
    bool m_watching { false };
};

MotionPreference::MotionPreference(const std::string& busAddress)
    : m_receiver(std::make_unique<Receiver>(busAddress))
{
}

MotionPreference::~MotionPreference() = default;

bool MotionPreference::isWatching() const
{
    return m_receiver->watching();
}

} // namespace host

#include "MotionPreference.moc"
