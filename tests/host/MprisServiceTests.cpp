// The media-player service over a private session bus: this program runs under
// dbus-run-session (see suite.cmake), and a second connection calls the service as the
// desktop's media keys do, from a thread of its own while this one runs Qt's loop.

#include "host/MprisService.h"

#include "TestEnvironment.h"

#include "ui/Application.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>

namespace {

// A player that does what it is told and writes it down.
class FakePlayer : public ui::MediaPlayer {
public:
    ui::PlaybackStatus playbackStatus() const override { return status; }
    std::shared_ptr<const ui::MediaMetadata> nowPlaying() const override { return metadata; }
    double position() const override { return status == ui::PlaybackStatus::Stopped ? 0 : 1.5; }
    bool canPlay() const override { return metadata && status != ui::PlaybackStatus::Playing; }
    bool canPause() const override { return status == ui::PlaybackStatus::Playing; }
    bool canGoNext() const override { return true; }
    void play() override { set(ui::PlaybackStatus::Playing, "play"); }
    void pause() override { set(ui::PlaybackStatus::Paused, "pause"); }
    void stop() override { set(ui::PlaybackStatus::Stopped, "stop"); }
    void next() override { calls.push_back("next"); }

    void set(ui::PlaybackStatus newStatus, const std::string& call)
    {
        calls.push_back(call);
        status = newStatus;
        ui::Application::sharedApplication().mediaPlayerDidChange();
    }

    ui::PlaybackStatus status { ui::PlaybackStatus::Stopped };
    std::shared_ptr<ui::MediaMetadata> metadata;
    std::vector<std::string> calls;
};

} // namespace

// Collects the service's PropertiesChanged signals.
class ChangeRecorder : public QObject {
    Q_OBJECT
public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == QLatin1String("org.mpris.MediaPlayer2.Player"))
            changes.push_back(changed);
    }

public:
    std::vector<QVariantMap> changes;
};

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

class MprisServiceTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ui::Application::resetSharedApplication();
        if (!QCoreApplication::instance())
            m_application = std::make_unique<QCoreApplication>(m_argc, m_argv);
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        service = std::make_unique<host::MprisService>(QDBusConnection::sessionBus(), [this] { ++raised; });
        ASSERT_TRUE(service->isRegistered());
        player = std::make_shared<FakePlayer>();
        player->metadata = std::make_shared<ui::MediaMetadata>(ui::MediaMetadata { 7, "Shopping list", 12.5, "Errands" });
        ui::Application::sharedApplication().setMediaPlayer(player);
    }
    void TearDown() override
    {
        service.reset();
        ui::Application::resetSharedApplication();
        TestEnvironment::TearDown();
    }

    // Calls method on the service from another connection and thread, running this thread's
    // loop meanwhile; the reply.
    QDBusMessage call(const QString& interface, const QString& method, const QList<QVariant>& arguments = {})
    {
        const QString service = this->service->serviceName();
        auto pending = std::async(std::launch::async, [=] {
            QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("mpris-test-client"));
            QDBusMessage message = QDBusMessage::createMethodCall(service, kPath, interface, method);
            message.setArguments(arguments);
            return client.call(message, QDBus::Block, 5000);
        });
        while (pending.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        // Signals sent meanwhile reach this thread's receivers on the next turns.
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        return pending.get();
    }
    /// Turns the event loop until done() holds: a signal crosses the bus and the listener's
    /// thread before it is queued here, which takes longer on a loaded machine. False after 5 s.
    static bool processEventsUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    QVariant property(const QString& interface, const QString& name)
    {
        QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), { interface, name });
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QString status() { return property(kPlayer, QStringLiteral("PlaybackStatus")).toString(); }

    std::unique_ptr<host::MprisService> service;
    std::shared_ptr<FakePlayer> player;
    int raised { 0 };

private:
    int m_argc { 1 };
    char m_name[8] = "parlivo";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QCoreApplication> m_application;
};

} // namespace

TEST_F(MprisServiceTest, TransportMethodsReachThePlayerAndTheStatusFollows)
{
    EXPECT_EQ(service->serviceName(), QStringLiteral("org.mpris.MediaPlayer2.parlivo"));
    EXPECT_EQ(status(), QStringLiteral("Stopped"));
    call(kPlayer, QStringLiteral("Play"));
    EXPECT_EQ(status(), QStringLiteral("Playing"));
    call(kPlayer, QStringLiteral("PlayPause"));
    EXPECT_EQ(status(), QStringLiteral("Paused"));
    call(kPlayer, QStringLiteral("PlayPause"));
    EXPECT_EQ(status(), QStringLiteral("Playing"));
    EXPECT_EQ(property(kPlayer, QStringLiteral("Position")).toLongLong(), 1500000);
    call(kPlayer, QStringLiteral("Pause"));
    call(kPlayer, QStringLiteral("Next"));
    call(kPlayer, QStringLiteral("Previous"));
    call(kPlayer, QStringLiteral("Stop"));
    EXPECT_EQ(status(), QStringLiteral("Stopped"));
    // Previous is not offered by this player: it does nothing.
    EXPECT_EQ(player->calls, (std::vector<std::string> { "play", "pause", "play", "pause", "next", "stop" }));
    EXPECT_TRUE(property(kPlayer, QStringLiteral("CanGoNext")).toBool());
    EXPECT_FALSE(property(kPlayer, QStringLiteral("CanGoPrevious")).toBool());
    EXPECT_FALSE(property(kPlayer, QStringLiteral("CanSeek")).toBool());
}

TEST_F(MprisServiceTest, MetadataNamesTheRecording)
{
    QDBusMessage reply = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), { kPlayer, QStringLiteral("Metadata") });
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    // A map arrives as its marshalled form; demarshal it as a client would.
    QVariantMap metadata = qdbus_cast<QVariantMap>(reply.arguments().value(0).value<QDBusVariant>().variant());
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("Shopping list"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 12500000);
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:genre")).toStringList(), QStringList { QStringLiteral("Errands") });
    EXPECT_EQ(qdbus_cast<QDBusObjectPath>(metadata.value(QStringLiteral("mpris:trackid"))).path(), QStringLiteral("/org/parlivo/Recording/7"));

    // No player: nothing plays, nothing is offered, and the methods do nothing.
    ui::Application::sharedApplication().setMediaPlayer(nullptr);
    call(kPlayer, QStringLiteral("Play"));
    EXPECT_EQ(status(), QStringLiteral("Stopped"));
    EXPECT_FALSE(property(kPlayer, QStringLiteral("CanPlay")).toBool());
    metadata = qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata")));
    EXPECT_FALSE(metadata.contains(QStringLiteral("xesam:title")));
    EXPECT_TRUE(player->calls.empty());
}

TEST_F(MprisServiceTest, ChangesAreAnnouncedOnce)
{
    ChangeRecorder recorder;
    QDBusConnection listener = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("mpris-test-listener"));
    ASSERT_TRUE(listener.connect(service->serviceName(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"), &recorder, SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    call(kPlayer, QStringLiteral("Play"));
    ASSERT_TRUE(processEventsUntil([&] { return !recorder.changes.empty(); }));
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    EXPECT_TRUE(recorder.changes[0].contains(QStringLiteral("CanPause")));
    EXPECT_FALSE(recorder.changes[0].contains(QStringLiteral("Metadata"))) << "the same recording";
    // A change report with nothing changed sends nothing.
    ui::Application::sharedApplication().mediaPlayerDidChange();
    call(kPlayer, QStringLiteral("Next"));
    // A change to look for after the ones that must not be announced: once it arrives, anything
    // sent before it has arrived too.
    call(kPlayer, QStringLiteral("Pause"));
    ASSERT_TRUE(processEventsUntil([&] { return recorder.changes.size() >= 2; }));
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_EQ(recorder.changes[1].value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-test-listener"));
}

TEST_F(MprisServiceTest, RaiseAndIdentity)
{
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    EXPECT_EQ(call(root, QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(property(root, QStringLiteral("Identity")).toString(), QStringLiteral("Parlivo"));
    EXPECT_EQ(property(root, QStringLiteral("DesktopEntry")).toString(), QStringLiteral(PARLIVO_APP_ID));
    EXPECT_TRUE(property(root, QStringLiteral("CanRaise")).toBool());
    // Properties cannot be set, and unknown ones are said to be unknown.
    QDBusMessage set = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
        { kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.5)) });
    EXPECT_EQ(set.type(), QDBusMessage::ErrorMessage);
    QDBusMessage unknown = call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), { kPlayer, QStringLiteral("Nonsense") });
    EXPECT_EQ(unknown.type(), QDBusMessage::ErrorMessage);
    // A second service on the same bus (another Parlivo) takes a name of its own.
    host::MprisService second(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second-parlivo")), [] { });
    EXPECT_TRUE(second.isRegistered());
    EXPECT_TRUE(second.serviceName().startsWith(QStringLiteral("org.mpris.MediaPlayer2.parlivo.instance")));
}

#include "MprisServiceTests.moc"
