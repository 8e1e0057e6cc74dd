#include "host/BatteryWatcher.h"

#include "ui/Application.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <optional>

namespace host {

namespace {

const char* const kService = "org.freedesktop.UPower";
const char* const kDisplayDevice = "/org/freedesktop/UPower/devices/DisplayDevice";
const char* const kDeviceInterface = "org.freedesktop.UPower.Device";
const char* const kPropertiesInterface = "org.freedesktop.DBus.Properties";

// UPower's values for Type and State.
constexpr unsigned kTypeBattery = 2;
constexpr unsigned kStateCharging = 1;
constexpr unsigned kStateFullyCharged = 4;
constexpr unsigned kStatePendingCharge = 5;

QString connectionName()
{
    static std::atomic<int> counter { 0 };
    return QStringLiteral("parlivo-battery-%1").arg(++counter);
}

std::optional<ui::BatteryStatus> statusFrom(const QVariantMap& properties)
{
    if (properties.value(QStringLiteral("Type")).toUInt() != kTypeBattery || !properties.value(QStringLiteral("IsPresent")).toBool())
        return std::nullopt;
    ui::BatteryStatus status;
    status.level = float(properties.value(QStringLiteral("Percentage")).toDouble() / 100.0);
    const unsigned state = properties.value(QStringLiteral("State")).toUInt();
    if (state == kStateCharging || state == kStatePendingCharge)
        status.state = ui::BatteryStatus::State::Charging;
    else if (state == kStateFullyCharged)
        status.state = ui::BatteryStatus::State::Full;
    return status;
}

} // namespace

class BatteryWatcher::Receiver : public QObject {
    Q_OBJECT
public:
    explicit Receiver(const std::string& busAddress)
        : m_connectionName(busAddress.empty() ? QString() : connectionName())
        , m_bus(busAddress.empty() ? QDBusConnection::systemBus() : QDBusConnection::connectToBus(QString::fromStdString(busAddress), m_connectionName))
    {
        if (!m_bus.isConnected())
            return;
        m_watching = true;
        m_bus.connect(QString::fromLatin1(kService), QString::fromLatin1(kDisplayDevice), QString::fromLatin1(kPropertiesInterface),
            QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        m_services = new QDBusServiceWatcher(QString::fromLatin1(kService), m_bus,
            QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_services, &QDBusServiceWatcher::serviceRegistered, this, [this] { readAll(); });
        connect(m_services, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            m_properties.clear();
            ui::Application::sharedApplication().setBatteryStatus(std::nullopt);
        });
        readAll();
    }
    ~Receiver() override
    {
        if (m_watching)
            m_bus.disconnect(QString::fromLatin1(kService), QString::fromLatin1(kDisplayDevice), QString::fromLatin1(kPropertiesInterface),
                QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        delete m_services;
        if (!m_connectionName.isEmpty())
            QDBusConnection::disconnectFromBus(m_connectionName);
    }
    bool watching() const { return m_watching; }

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
    {
        if (interface != QLatin1String(kDeviceInterface))
            return;
        for (auto it = changed.begin(); it != changed.end(); ++it)
            m_properties.insert(it.key(), it.value());
        // A property said to be out of date without its value is read afresh.
        if (!invalidated.isEmpty()) {
            readAll();
            return;
        }
        show();
    }

private:
    void readAll()
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kDisplayDevice),
            QString::fromLatin1(kPropertiesInterface), QStringLiteral("GetAll"));
        call << QString::fromLatin1(kDeviceInterface);
        auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
            QDBusPendingReply<QVariantMap> reply = *finished;
            finished->deleteLater();
            // No UPower on this bus (or no display device): no battery to show.
            m_properties = reply.isError() ? QVariantMap() : reply.value();
            show();
        });
    }
    void show() { ui::Application::sharedApplication().setBatteryStatus(statusFrom(m_properties)); }

    QString m_connectionName;
    QDBusConnection m_bus;
    QDBusServiceWatcher* m_services { nullptr };
    QVariantMap m_properties;
    bool m_watching { false };
};

BatteryWatcher::BatteryWatcher(const std::string& busAddress)
    : m_receiver(std::make_unique<Receiver>(busAddress))
{
}

BatteryWatcher::~BatteryWatcher() = default;

bool BatteryWatcher::isWatching() const
{
    return m_receiver->watching();
}

} // namespace host

#include "BatteryWatcher.moc"
