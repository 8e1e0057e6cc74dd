#include "host/SleepWatcher.h"

#include "audio/Session.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <atomic>

namespace host {

namespace {

const char* const kLogindService = "org.freedesktop.login1";
const char* const kLogindPath = "/org/freedesktop/login1";
const char* const kLogindManager = "org.freedesktop.login1.Manager";

QString privateConnectionName()
{
    static std::atomic<int> counter { 0 };
    return QStringLiteral("parlivo-sleep-%1").arg(++counter);
}

} // namespace

class SleepWatcher::Receiver : public QObject {
    Q_OBJECT
public:
    explicit Receiver(const std::string& busAddress)
        : m_connectionName(busAddress.empty() ? QString() : privateConnectionName())
        , m_bus(busAddress.empty() ? QDBusConnection::systemBus()
                                   : QDBusConnection::connectToBus(QString::fromStdString(busAddress), m_connectionName))
    {
        m_watching = m_bus.isConnected()
            && m_bus.connect(QString::fromLatin1(kLogindService), QString::fromLatin1(kLogindPath),
                QString::fromLatin1(kLogindManager), QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    }
    ~Receiver() override
    {
        if (m_watching)
            m_bus.disconnect(QString::fromLatin1(kLogindService), QString::fromLatin1(kLogindPath),
                QString::fromLatin1(kLogindManager), QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
        if (!m_connectionName.isEmpty())
            QDBusConnection::disconnectFromBus(m_connectionName);
    }
    bool watching() const { return m_watching; }

public slots:
    void prepareForSleep(bool sleeping)
    {
        if (sleeping)
            audio::Session::shared().beginInterruption(audio::InterruptionCause::SystemSleep);
        else
            audio::Session::shared().endInterruption(audio::InterruptionCause::SystemSleep);
    }

private:
    QString m_connectionName;
    QDBusConnection m_bus;
    bool m_watching { false };
};

SleepWatcher::SleepWatcher(const std::string& busAddress)
    : m_receiver(std::make_unique<Receiver>(busAddress))
{
}

SleepWatcher::~SleepWatcher() = default;

bool SleepWatcher::isWatching() const
{
    return m_receiver->watching();
}

} // namespace host

#include "SleepWatcher.moc"
