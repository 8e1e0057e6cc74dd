// The battery in the status bar as UPower reports it, over a private system bus: a
// dbus-daemon of the test's own with a configuration of its own, on which the test stands in
// for UPower (its name and its display device, with the properties and the change signal
// UPower has). A battery discharging, charging, full, a machine without one, and no UPower.

#include "host/BatteryWatcher.h"

#include "TestEnvironment.h"

#include "ui/Application.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kDevice = QStringLiteral("org.freedesktop.UPower.Device");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// The display device as UPower serves it: its properties read by Get and GetAll.
class StandInDisplayDevice : public QDBusVirtualObject {
public:
    QVariantMap properties;

    QString introspect(const QString&) const override
    {
        return QStringLiteral("<interface name=\"org.freedesktop.UPower.Device\">"
                              "<property name=\"Type\" type=\"u\" access=\"read\"/>"
                              "<property name=\"IsPresent\" type=\"b\" access=\"read\"/>"
                              "<property name=\"Percentage\" type=\"d\" access=\"read\"/>"
                              "<property name=\"State\" type=\"u\" access=\"read\"/>"
                              "</interface>");
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != kProperties)
            return false;
        const auto arguments = message.arguments();
        if (message.member() == QLatin1String("GetAll") && arguments.value(0).toString() == kDevice)
            return connection.send(message.createReply(QVariant::fromValue(properties)));
        if (message.member() == QLatin1String("Get") && arguments.value(0).toString() == kDevice)
            return connection.send(message.createReply(QVariant::fromValue(QDBusVariant(properties.value(arguments.value(1).toString())))));
        return false;
    }
};

class BatteryWatcherTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ui::Application::resetSharedApplication();
        if (!QCoreApplication::instance())
            m_application = std::make_unique<QCoreApplication>(m_argc, m_argv);
        startBus();
    }
    void TearDown() override
    {
        if (m_upowerUp)
            QDBusConnection::disconnectFromBus(QStringLiteral("test-upower"));
        if (m_daemon > 0) {
            ::kill(m_daemon, SIGTERM);
            ::waitpid(m_daemon, nullptr, 0);
        }
        ui::Application::resetSharedApplication();
        TestEnvironment::TearDown();
    }

    // A system bus of the test's own: anyone may own names and call anyone.
    void startBus()
    {
        const std::string config = rootDirectory() + "/system-bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n"
                                 "  <type>system</type>\n"
                                 "  <listen>unix:dir="
                              << documentsPath()
                              << "</listen>\n"
                                 "  <auth>EXTERNAL</auth>\n"
                                 "  <policy context=\"default\">\n"
                                 "    <allow user=\"*\"/>\n"
                                 "    <allow own=\"*\"/>\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n"
                                 "  </policy>\n"
                                 "</busconfig>\n";
        ::mkdir(documentsPath().c_str(), 0700);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        m_daemon = ::fork();
        ASSERT_GE(m_daemon, 0);
        if (m_daemon == 0) {
            ::close(fds[0]);
            // A system bus wants more files than a user may open, and says so; that is all.
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
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

    // Takes UPower's name on the bus and serves the display device.
    void bringUpUPower(QVariantMap properties)
    {
        m_device.properties = std::move(properties);
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_address), QStringLiteral("test-upower"));
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerVirtualObject(kPath, &m_device));
        ASSERT_TRUE(bus.registerService(kService));
        m_upowerUp = true;
    }
    void takeDownUPower()
    {
        QDBusConnection bus(QStringLiteral("test-upower"));
        bus.unregisterService(kService);
        bus.unregisterObject(kPath);
        QDBusConnection::disconnectFromBus(QStringLiteral("test-upower"));
        m_upowerUp = false;
    }
    // Changes properties and says so, as UPower does.
    void change(const QVariantMap& changed)
    {
        for (auto it = changed.begin(); it != changed.end(); ++it)
            m_device.properties.insert(it.key(), it.value());
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kProperties, QStringLiteral("PropertiesChanged"));
        signal << kDevice << changed << QStringList();
        ASSERT_TRUE(QDBusConnection(QStringLiteral("test-upower")).send(signal));
    }

    static QVariantMap battery(double percentage, unsigned state)
    {
        return { { QStringLiteral("Type"), 2u }, { QStringLiteral("IsPresent"), true }, { QStringLiteral("Percentage"), percentage },
            { QStringLiteral("State"), state } };
    }
    static std::optional<ui::BatteryStatus> shown() { return ui::Application::sharedApplication().batteryStatus(); }
    // Lets Qt deliver the bus's messages until done holds, for at most two seconds.
    bool waitFor(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    }
    // Lets a little time pass for messages that should change nothing.
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
    StandInDisplayDevice m_device;
    bool m_upowerUp { false };
};

using State = ui::BatteryStatus::State;

} // namespace

TEST_F(BatteryWatcherTest, ShowsTheBatteryAndFollowsItsChanges)
{
    bringUpUPower(battery(73, 2));
    host::BatteryWatcher watcher(m_address);
    ASSERT_TRUE(watcher.isWatching());
    ASSERT_TRUE(waitFor([] { return shown().has_value(); }));
    EXPECT_EQ(*shown(), (ui::BatteryStatus { 0.73f, State::Discharging }));

    // Plugged in: charging, then a percent more.
    change({ { QStringLiteral("State"), 1u } });
    ASSERT_TRUE(waitFor([] { return shown() && shown()->state == State::Charging; }));
    change({ { QStringLiteral("Percentage"), 74.0 } });
    ASSERT_TRUE(waitFor([] { return shown() && shown()->level == 0.74f; }));
    EXPECT_EQ(shown()->state, State::Charging);
    // Charged and still plugged in.
    change({ { QStringLiteral("State"), 4u }, { QStringLiteral("Percentage"), 100.0 } });
    ASSERT_TRUE(waitFor([] { return shown() && shown()->state == State::Full; }));
    EXPECT_EQ(shown()->level, 1.0f);

    // The battery taken out; UPower gone from the bus; and back.
    change({ { QStringLiteral("IsPresent"), false } });
    ASSERT_TRUE(waitFor([] { return !shown(); }));
    change({ { QStringLiteral("IsPresent"), true } });
    ASSERT_TRUE(waitFor([] { return shown().has_value(); }));
    takeDownUPower();
    ASSERT_TRUE(waitFor([] { return !shown(); }));
    bringUpUPower(battery(40, 2));
    ASSERT_TRUE(waitFor([] { return shown() && shown()->level == 0.4f; }));
}

TEST_F(BatteryWatcherTest, AMachineWithoutABatteryShowsNone)
{
    // A desktop: UPower's display device is no battery.
    bringUpUPower({ { QStringLiteral("Type"), 0u }, { QStringLiteral("IsPresent"), false }, { QStringLiteral("Percentage"), 0.0 },
        { QStringLiteral("State"), 0u } });
    ui::Application::sharedApplication().setBatteryStatus(ui::BatteryStatus { 0.5f, State::Discharging });
    host::BatteryWatcher watcher(m_address);
    ASSERT_TRUE(waitFor([] { return !shown(); }));
    settle();
    EXPECT_FALSE(shown());
}

TEST_F(BatteryWatcherTest, WithoutUPowerOrABusNothingIsShown)
{
    ui::Application::sharedApplication().setBatteryStatus(ui::BatteryStatus { 0.5f, State::Discharging });
    host::BatteryWatcher watcher(m_address);
    EXPECT_TRUE(watcher.isWatching());
    ASSERT_TRUE(waitFor([] { return !shown(); })) << "an answer of no UPower shows nothing";

    host::BatteryWatcher nowhere("unix:path=" + documentsPath() + "/no-bus-here");
    EXPECT_FALSE(nowhere.isWatching());
}
