// The host's watch of logind, over a private bus: a dbus-daemon of the test's own, on which
// the test takes logind's name and sends PrepareForSleep as logind does.

#include "AudioTestEnvironment.h"

#include "host/SleepWatcher.h"

#include "audio/Session.h"
#include "foundation/RunLoop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SleepWatcherTest : public testsupport::AudioTestEnvironment {
protected:
    void SetUp() override
    {
        AudioTestEnvironment::SetUp();
        if (!QCoreApplication::instance())
            m_application = std::make_unique<QCoreApplication>(m_argc, m_argv);
        startBus();
        audio::Session::shared().initialize(nullptr, [this](std::uint32_t state) { m_states.push_back(state); });
    }
    void TearDown() override
    {
        if (!m_senderName.isEmpty())
            QDBusConnection::disconnectFromBus(m_senderName);
        if (m_daemon > 0) {
            ::kill(m_daemon, SIGTERM);
            ::waitpid(m_daemon, nullptr, 0);
        }
        AudioTestEnvironment::TearDown();
    }

    // Starts dbus-daemon and reads the address it prints.
    void startBus()
    {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        std::string fd = std::to_string(pipeFds[1]);
        std::string address = "--address=unix:dir=" + documentsPath();
        m_daemon = ::fork();
        ASSERT_GE(m_daemon, 0);
        if (m_daemon == 0) {
            ::close(pipeFds[0]);
            std::string printAddress = "--print-address=" + fd;
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", address.c_str(), printAddress.c_str(),
                static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        std::string line;
        char c;
        while (::read(pipeFds[0], &c, 1) == 1 && c != '\n')
            line += c;
        ::close(pipeFds[0]);
        ASSERT_FALSE(line.empty()) << "dbus-daemon did not start";
        m_address = line;
    }

    // Connects as logind: owns its name and sends its signal.
    void connectAsLogind()
    {
        m_senderName = QStringLiteral("test-logind");
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(m_address), m_senderName);
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.login1")));
    }
    void sendPrepareForSleep(bool sleeping)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << sleeping;
        ASSERT_TRUE(QDBusConnection(m_senderName).send(signal));
    }
    // Lets Qt deliver the signal and the run loop the interruption, for at most two seconds.
    bool waitForStates(std::size_t count)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (m_states.size() < count && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            runLoop().runPending();
        }
        return m_states.size() >= count;
    }

    int m_argc { 1 };
    char m_program[8] = "tests";
    char* m_argv[2] = { m_program, nullptr };
    std::unique_ptr<QCoreApplication> m_application;
    pid_t m_daemon { -1 };
    std::string m_address;
    QString m_senderName;
    std::vector<std::uint32_t> m_states;
};

} // namespace

TEST_F(SleepWatcherTest, SleepBeginsAnInterruptionAndWakingEndsIt)
{
    host::SleepWatcher watcher(m_address);
    ASSERT_TRUE(watcher.isWatching());
    connectAsLogind();

    sendPrepareForSleep(true);
    ASSERT_TRUE(waitForStates(1));
    EXPECT_EQ(m_states, (std::vector<std::uint32_t> { audio::kSessionBeginInterruption }));
    EXPECT_TRUE(audio::Session::shared().isInterrupted(audio::InterruptionCause::SystemSleep));

    sendPrepareForSleep(false);
    ASSERT_TRUE(waitForStates(2));
    EXPECT_EQ(m_states.back(), audio::kSessionEndInterruption);
    EXPECT_FALSE(audio::Session::shared().isInterrupted(audio::InterruptionCause::SystemSleep));
}

TEST_F(SleepWatcherTest, WithoutABusNothingIsWatched)
{
    host::SleepWatcher watcher("unix:path=" + documentsPath() + "/no-bus-here");
    EXPECT_FALSE(watcher.isWatching());
}
