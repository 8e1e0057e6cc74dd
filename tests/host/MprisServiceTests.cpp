// The media-player service over a private session bus: this program runs under
// dbus-run-session (see suite.cmake), and a second connection calls the service as the
// desktop's media keys do, from a thread of its own while this one runs Qt's loop.

#include "host/MprisService.h"

#include "TestEnvironment.h"

#include "ui/Application.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
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
    bool canSeek() const override { return status != ui::PlaybackStatus::Stopped; }
    void play() override { set(ui::PlaybackStatus::Playing, "play"); }
    void pause() override { set(ui::PlaybackStatus::Paused, "pause"); }
    void stop() override { set(ui::PlaybackStatus::Stopped, "stop"); }
    void next() override { calls.push_back("next"); }
    void seekTo(double seconds) override { calls.push_back("seek " + std::to_string(int(seconds * 1000))); }

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

    void seeked(qlonglong position) { seeks.push_back(position); }

public:
    std::vector<QVariantMap> changes;
    std::vector<qlonglong> seeks;
};

namespace {

const char* statusText(ui::PlaybackStatus status)
{
    return status == ui::PlaybackStatus::Playing ? "playing" : status == ui::PlaybackStatus::Paused ? "paused" : "stopped";
}

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
        player->metadata = std::make_shared<ui::MediaMetadata>(ui::MediaMetadata { 7, "Shopping list", 12.5, "Errands", nullptr });
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
    EXPECT_FALSE(property(kPlayer, QStringLiteral("CanSeek")).toBool()) << "stopped";
}

TEST_F(MprisServiceTest, CanPlayAndCanPauseHoldInEveryStateARecordingIsThere)
{
    // MPRIS's reading: a recording to control, not the button shown. Controls that ask for
    // CanPlay before Stop, or for CanPause before a toggle, must find them while it plays or
    // is paused.
    for (auto state : { ui::PlaybackStatus::Stopped, ui::PlaybackStatus::Playing, ui::PlaybackStatus::Paused }) {
        player->status = state;
        EXPECT_TRUE(property(kPlayer, QStringLiteral("CanPlay")).toBool()) << statusText(state);
        EXPECT_EQ(property(kPlayer, QStringLiteral("CanPause")).toBool(), state != ui::PlaybackStatus::Stopped) << statusText(state);
    }
    player->metadata.reset();
    player->status = ui::PlaybackStatus::Stopped;
    EXPECT_FALSE(property(kPlayer, QStringLiteral("CanPlay")).toBool()) << "nothing to play";
    EXPECT_FALSE(property(kPlayer, QStringLiteral("CanPause")).toBool());
}

TEST_F(MprisServiceTest, TheDesktopsCommandLineControllerCanStopAndSeek)
{
    // playerctl, as desktops bind it to keys: it asks the Can… properties before it calls.
    auto playerctl = [&](const std::string& arguments) {
        auto pending = std::async(std::launch::async, [=] { return std::system(("playerctl --player=parlivo " + arguments + " >/dev/null 2>&1").c_str()); });
        while (pending.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            QCoreApplication::processEvents();
        return pending.get();
    };
    ASSERT_EQ(std::system("command -v playerctl >/dev/null"), 0) << "playerctl is missing (scripts/packages.txt)";
    player->status = ui::PlaybackStatus::Playing;
    EXPECT_EQ(playerctl("position 4"), 0);
    EXPECT_EQ(playerctl("stop"), 0);
    EXPECT_EQ(player->calls, (std::vector<std::string> { "seek 4000", "stop" }));
    EXPECT_EQ(status(), QStringLiteral("Stopped"));
    player->status = ui::PlaybackStatus::Paused;
    EXPECT_EQ(playerctl("pause"), 0) << "paused, a pause is still offered";
}

TEST_F(MprisServiceTest, SeekAndSetPositionMoveThePlaybackAndAreAnnounced)
{
    ChangeRecorder recorder;
    QDBusConnection listener = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("mpris-test-seeked"));
    ASSERT_TRUE(listener.connect(service->serviceName(), kPath, kPlayer, QStringLiteral("Seeked"), &recorder, SLOT(seeked(qlonglong))));
    const QString track = QStringLiteral("/org/parlivo/Recording/7");
    auto setPosition = [&](const QString& id, qlonglong micro) {
        call(kPlayer, QStringLiteral("SetPosition"), { QVariant::fromValue(QDBusObjectPath(id)), micro });
    };
    auto seek = [&](qlonglong micro) { call(kPlayer, QStringLiteral("Seek"), { micro }); };

    // Stopped: nothing to seek in.
    seek(2000000);
    setPosition(track, 4000000);
    EXPECT_TRUE(player->calls.empty());

    player->status = ui::PlaybackStatus::Playing;
    EXPECT_TRUE(property(kPlayer, QStringLiteral("CanSeek")).toBool());
    seek(2000000); // from 1.5 s
    seek(-5000000); // before the start: the start
    setPosition(track, 4000000);
    setPosition(QStringLiteral("/org/parlivo/Recording/8"), 4000000); // another recording
    setPosition(track, -1); // before the start
    setPosition(track, 13000000); // past the end of 12.5 s
    seek(20000000); // past the end: the next recording
    EXPECT_EQ(player->calls, (std::vector<std::string> { "seek 3500", "seek 0", "seek 4000", "next" }));
    ASSERT_TRUE(processEventsUntil([&] { return recorder.seeks.size() >= 3; }));
    EXPECT_EQ(recorder.seeks, (std::vector<qlonglong> { 3500000, 0, 4000000 }));
    QDBusConnection::disconnectFromBus(QStringLiteral("mpris-test-seeked"));
}

TEST_F(MprisServiceTest, TheRecordingsPictureIsOfferedAsAPrivateFile)
{
    auto metadata = [&] { return qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata"))); };
    EXPECT_FALSE(metadata().contains(QStringLiteral("mpris:artUrl"))) << "no picture";

    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(png.begin(), png.end());
    player->metadata = std::make_shared<ui::MediaMetadata>(ui::MediaMetadata { 7, "Shopping list", 12.5, "Errands", bytes });
    const QUrl first(metadata().value(QStringLiteral("mpris:artUrl")).toString());
    ASSERT_TRUE(first.isLocalFile()) << first.toString().toStdString();
    QFile file(first.toLocalFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), png);
    EXPECT_EQ(QFileInfo(first.toLocalFile()).suffix(), QStringLiteral("png"));
    EXPECT_EQ(QFileInfo(QFileInfo(first.toLocalFile()).path()).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeGroup | QFile::ExeOther),
        QFileDevice::Permissions()) << "only the user may look in";
    EXPECT_EQ(QUrl(metadata().value(QStringLiteral("mpris:artUrl")).toString()), first) << "written once";

    // Another picture: another address, and the old file goes.
    picture.fill(Qt::blue);
    png.clear();
    buffer.seek(0);
    picture.save(&buffer, "PNG");
    player->metadata = std::make_shared<ui::MediaMetadata>(
        ui::MediaMetadata { 7, "Shopping list", 12.5, "Errands", std::make_shared<std::vector<std::uint8_t>>(png.begin(), png.end()) });
    const QUrl second(metadata().value(QStringLiteral("mpris:artUrl")).toString());
    EXPECT_NE(second, first);
    EXPECT_FALSE(QFile::exists(first.toLocalFile()));
    EXPECT_TRUE(QFile::exists(second.toLocalFile()));
    // The service's files go with it.
    service.reset();
    EXPECT_FALSE(QFile::exists(second.toLocalFile()));
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
