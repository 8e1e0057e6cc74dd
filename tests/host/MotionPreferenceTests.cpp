// The desktop's "reduce animation" over a private session bus: a dbus-daemon of the test's
// own, on which the test stands in for the desktop portal's settings (ReadOne, or only the
// older Read, and the SettingChanged signal). Animations off shortens the screens' animation
// blocks; on, no portal or no such setting leaves them as they are.

#include "host/MotionPreference.h"

#include "TestEnvironment.h"

#include "ui/View.h"
#include "ui/ViewAnimator.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.gnome.desktop.interface");
const QString kKey = QStringLiteral("enable-animations");

// The portal's settings as it serves them: ReadOne answers the value in a variant, Read (the
// first version) in a variant in a variant; a setting it does not have is an error.
class StandInPortal : public QDBusVirtualObject {
public:
    std::optional<bool> animations;
    bool hasReadOne { true };
    int reads { 0 };

    QString introspect(const QString&) const override
    {
        return QStringLiteral("<interface name=\"org.freedesktop.portal.Settings\">"
                              "<method name=\"Read\"><arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
                              "<arg type=\"v\" direction=\"out\"/></method>"
                              "<method name=\"ReadOne\"><arg type=\"s\" direction=\"in\"/><arg type=\"s\" direction=\"in\"/>"
                              "<arg type=\"v\" direction=\"out\"/></method>"
                              "<signal name=\"SettingChanged\"><arg type=\"s\"/><arg type=\"s\"/><arg type=\"v\"/></signal>"
                              "</interface>");
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != kSettings)
            return false;
        const bool readOne = message.member() == QLatin1String("ReadOne");
        if (!(readOne && hasReadOne) && message.member() != QLatin1String("Read"))
            return connection.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method")));
        ++reads;
        const auto arguments = message.arguments();
        if (!animations || arguments.value(0).toString() != kNamespace || arguments.value(1).toString() != kKey)
            return connection.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found")));
        const QVariant value = readOne ? QVariant::fromValue(QDBusVariant(*animations))
                                       : QVariant::fromValue(QDBusVariant(QVariant::fromValue(QDBusVariant(*animations))));
        return connection.send(message.createReply(value));
    }
};

class MotionPreferenceTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ui::ViewAnimator::shared().reset();
        if (!QCoreApplication::instance())
            m_application = std::make_unique<QCoreApplication>(m_argc, m_argv);
        startBus();
    }
    void TearDown() override
    {
        if (m_portalUp)
            takeDownPortal();
        if (m_daemon > 0) {
            ::kill(m_daemon, SIGTERM);
            ::waitpid(m_daemon, nullptr, 0);
        }
        ui::ViewAnimator::shared().reset();
        TestEnvironment::TearDown();
    }

    // A session bus of the test's own.
    void startBus()
    {
        const std::string config = rootDirectory() + "/session-bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n"
                                 "  <type>session</type>\n"
                                 "  <listen>unix:dir="
                              << documentsPath()
                              << "</listen>\n"
                                 "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n"
                                 "    <allow own=\"*\"/>\n"
                                 "  </policy>\n"
                                 "</busconfig>\n";
        ::mkdir(documentsPath().c_str(), 0700);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        m_daemon = ::fork();
        ASSERT_GE(m_daemon, 0);
        if (m_daemon == 0) {
            ::close(fds[0]);
            const std::string configFile = "--config-file=" + config;
            const std::string printAddress = "--print-address=" + std::to_string(fds[1]);
            ::execlp("dbus-daemon", "dbus-daemon", configFile.c_str(), "--nofork", "--nopidfile", printAddress.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string line;
        char c;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(fds[0]);
        ASSERT_FALSE(line.empty()) << "dbus-daemon did not start";
        m_address = line;
    }
    void bringUpPortal()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_address), QStringLiteral("test-portal"));
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerVirtualObject(kPath, &m_portal));
        ASSERT_TRUE(bus.registerService(kService));
        m_portalUp = true;
    }
    void takeDownPortal()
    {
        QDBusConnection bus(QStringLiteral("test-portal"));
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("test-portal"));
        m_portalUp = false;
    }
    // The setting changes, and the portal says so.
    void change(const QString& settingNamespace, const QString& key, bool animations)
    {
        if (settingNamespace == kNamespace && key == kKey)
            m_portal.animations = animations;
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kSettings, QStringLiteral("SettingChanged"));
        signal << settingNamespace << key << QVariant::fromValue(QDBusVariant(animations));
        ASSERT_TRUE(QDBusConnection(QStringLiteral("test-portal")).send(signal));
    }
    static bool reduced() { return ui::ViewAnimator::shared().reducesMotion(); }
    bool waitFor(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    void settle()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }

    int m_argc { 1 };
    char m_program[8] = "tests";
    char* m_argv[2] = { m_program, nullptr };
    std::unique_ptr<QCoreApplication> m_application;
    pid_t m_daemon { -1 };
    std::string m_address;
    StandInPortal m_portal;
    bool m_portalUp { false };
};

} // namespace

TEST_F(MotionPreferenceTest, AnimationsOffShortenTheBlocksAndFollowTheSetting)
{
    m_portal.animations = false;
    bringUpPortal();
    host::MotionPreference watcher(m_address);
    ASSERT_TRUE(watcher.isWatching());
    ASSERT_TRUE(waitFor([] { return reduced(); }));

    // A block committed now lasts a fifth of its time: its did-stop comes at 0.06 s, not 0.3 s.
    auto view = std::make_shared<ui::View>(gfx::Rect(0, 0, 10, 10));
    double stopped = -1;
    ui::View::beginAnimations("slide");
    ui::View::setAnimationDuration(0.3);
    ui::View::setAnimationDidStopSelector([&](const std::string&, bool, void*) { stopped = runLoop().now(); });
    const double start = runLoop().now();
    view->setCenter({ 100, 100 });
    ui::View::commitAnimations();
    advance(0.07);
    EXPECT_NEAR(stopped - start, 0.06, 1e-6);

    // Another setting changing says nothing; this one turned on gives the animations back.
    change(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("gtk-enable-primary-paste"), true);
    settle();
    EXPECT_TRUE(reduced());
    change(kNamespace, kKey, true);
    ASSERT_TRUE(waitFor([] { return !reduced(); }));
    change(kNamespace, kKey, false);
    ASSERT_TRUE(waitFor([] { return reduced(); }));

    // The portal leaves: the desktop says nothing now. Back, it is read again.
    takeDownPortal();
    ASSERT_TRUE(waitFor([] { return !reduced(); }));
    bringUpPortal();
    ASSERT_TRUE(waitFor([] { return reduced(); }));
}

TEST_F(MotionPreferenceTest, AnOlderPortalIsReadThroughRead)
{
    m_portal.animations = false;
    m_portal.hasReadOne = false;
    bringUpPortal();
    host::MotionPreference watcher(m_address);
    ASSERT_TRUE(waitFor([] { return reduced(); }));
}

TEST_F(MotionPreferenceTest, WithoutThePortalOrTheSettingNothingIsShortened)
{
    {
        host::MotionPreference watcher(m_address);
        ASSERT_TRUE(watcher.isWatching());
        settle();
        EXPECT_FALSE(reduced());
    }
    // A portal without the setting (a desktop that does not publish it).
    bringUpPortal();
    host::MotionPreference watcher(m_address);
    ASSERT_TRUE(waitFor([&] { return m_portal.reads > 0; }));
    settle();
    EXPECT_FALSE(reduced());
    host::MotionPreference nowhere("unix:path=" + documentsPath() + "/no-bus-here");
    EXPECT_FALSE(nowhere.isWatching());
}
