// The program as a screen reader meets it: on an X server, a session bus and an accessibility
// bus of the test's own (Xvfb, dbus-daemon and at-spi2-core's bus launcher), read through
// pyatspi by tests/program/atspi_reader.py. The tree of each screen in English and German, and
// a whole loop driven by actions alone: record, stop, save with a title, open the memo's row,
// play, pause, move it to the Trash and restore it; the database tells what came of it.
#include "AudioTestEnvironment.h"
#include "PrivateXServer.h"

#include "audio/File.h"
#include "foundation/FileManager.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kBusLauncher = "/usr/libexec/at-spi-bus-launcher";
constexpr const char* kPython = "/usr/bin/python3";
constexpr double kRate = 22050;

class AccessibilityBusTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        if (::access(kBusLauncher, X_OK) != 0)
            GTEST_SKIP() << kBusLauncher << " is missing: at-spi2-core is not installed (scripts/packages.txt lists it)";
        ASSERT_EQ(std::system((std::string(kPython) + " -c 'import pyatspi' 2>/dev/null").c_str()), 0)
            << "pyatspi is missing: python3-pyatspi is not installed (scripts/packages.txt lists it)";
        ASSERT_TRUE(foundation::createDirectory(documentsPath()));
        startX();
        startBuses();
        m_microphone = rootDirectory() + "/microphone.caf";
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(m_microphone, audio::kFileCAFType, audio::linearPCM16(kRate, 1), audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        auto ramp = testsupport::rampSamples(static_cast<std::size_t>(kRate * 30), 3);
        auto n = static_cast<std::uint32_t>(ramp.size());
        ASSERT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, ramp.data()), audio::noErr);
        file->close();
    }
    void TearDown() override
    {
        stop(m_program, SIGKILL, false);
        // Each helper leads a process group of its own: the launcher's accessibility bus and
        // the registry it starts end with it.
        stop(m_launcher, SIGTERM, true);
        stop(m_sessionBus, SIGTERM, true);
        stop(m_xServer, SIGTERM, false);
        TestEnvironment::TearDown();
    }

    static void stop(pid_t& pid, int signal, bool group)
    {
        if (pid <= 0)
            return;
        ::kill(group ? -pid : pid, signal);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }

    void startX()
    {
        m_display = testsupport::startPrivateXServer(&m_xServer, 11);
        ASSERT_FALSE(m_display.empty()) << "Xvfb did not start (scripts/packages.txt installs it)";
    }

    static std::string readLine(int fd)
    {
        std::string line;
        char c;
        while (::read(fd, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // A session bus whose address the daemon writes to a pipe, then the accessibility bus's
    // launcher on it (the session's own activation would start one the test cannot stop).
    void startBuses()
    {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        m_sessionBus = ::fork();
        ASSERT_GE(m_sessionBus, 0);
        if (m_sessionBus == 0) {
            ::setpgid(0, 0);
            ::close(fds[0]);
            const std::string print = "--print-address=" + std::to_string(fds[1]);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", "--nopidfile", print.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        m_busAddress = readLine(fds[0]);
        ::close(fds[0]);
        ASSERT_FALSE(m_busAddress.empty()) << "dbus-daemon did not start";
        m_environment = { "DISPLAY=" + m_display, "DBUS_SESSION_BUS_ADDRESS=" + m_busAddress, "QT_QPA_PLATFORM=xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1" };
        m_launcher = spawn({ kBusLauncher, "--launch-immediately" }, m_environment, rootDirectory() + "/bus.log", true);
        ASSERT_GT(m_launcher, 0);
        // The launcher answers on the session bus once its accessibility bus runs.
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline && run("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress").find("unix:") == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_NE(run("dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress").find("unix:"), std::string::npos)
            << "the accessibility bus did not start";
    }

    /// Runs program in environment (the test's own, with extra variables replacing its own),
    /// its output appended to logPath; the process id.
    static pid_t spawn(std::vector<std::string> args, const std::vector<std::string>& extra, const std::string& logPath, bool ownGroup)
    {
        std::vector<std::string> variables = extra;
        for (char** e = environ; *e; ++e) {
            const std::string variable = *e;
            const auto name = variable.substr(0, variable.find('=') + 1);
            if (std::none_of(extra.begin(), extra.end(), [&](const std::string& v) { return v.starts_with(name); }) && name != "WAYLAND_DISPLAY=")
                variables.push_back(variable);
        }
        std::vector<char*> argv, envp;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        for (auto& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (ownGroup) {
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attributes, 0);
        }
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    /// A shell command in the test's buses and display; its output and errors.
    std::string run(const std::string& command) const
    {
        std::string line = "env";
        for (const auto& variable : m_environment)
            line += " '" + variable + "'";
        line += " " + command + " 2>&1";
        FILE* pipe = ::popen(line.c_str(), "r");
        std::string output;
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        ::pclose(pipe);
        return output;
    }

    /// Starts the program in a window, speaking language.
    void start(const std::string& language)
    {
        // In the sanitizer build, what libdbus keeps for the process's life is not the
        // program's leak (as in tests/support/ProcessSetup.cpp).
        const std::string suppressions = rootDirectory() + "/lsan.supp";
        std::ofstream(suppressions) << "leak:libfontconfig\nleak:libdbus\n";
        auto environment = m_environment;
        environment.push_back("LANGUAGE=" + language);
        environment.push_back("LSAN_OPTIONS=suppressions=" + suppressions);
        m_program = spawn({ PARLIVO_EXECUTABLE, "--audio", "virtual", "--mic-file", m_microphone, "--documents", documentsPath(), "--scale", "1",
                              "--windowed" },
            environment, rootDirectory() + "/parlivo.log", false);
        ASSERT_GT(m_program, 0);
    }

    /// The reader's output for arguments (after the program's process id).
    std::string reader(const std::string& arguments) const
    {
        return run(std::string(kPython) + " " + PARLIVO_SOURCE_DIR "/tests/program/atspi_reader.py " + std::to_string(m_program) + " " + arguments);
    }

    std::string log() const
    {
        std::ifstream in(rootDirectory() + "/parlivo.log");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    /// Ends the program as the desktop does, waiting for it; its exit status, -1 when it did
    /// not exit in time, or 128 + the signal that ended it.
    int terminate()
    {
        ::kill(m_program, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_program, &status, WNOHANG) == m_program) {
                m_program = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    struct Memo {
        std::string title;
        int location { 0 };
        int playCount { 0 };
    };
    std::vector<Memo> memos() const
    {
        std::vector<Memo> result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, "SELECT title, location, playCount FROM recordings ORDER BY pk", -1, &statement, nullptr);
            while (statement && sqlite3_step(statement) == SQLITE_ROW) {
                const unsigned char* title = sqlite3_column_text(statement, 0);
                result.push_back({ title ? reinterpret_cast<const char*>(title) : "", sqlite3_column_int(statement, 1), sqlite3_column_int(statement, 2) });
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return result;
    }

    std::string m_display;
    std::string m_busAddress;
    std::vector<std::string> m_environment;
    std::string m_microphone;
    pid_t m_xServer { -1 };
    pid_t m_sessionBus { -1 };
    pid_t m_launcher { -1 };
    pid_t m_program { -1 };
};

TEST_F(AccessibilityBusTest, StudioTreeReadsInEnglishAndGerman)
{
    start("en");
    std::string out = reader("tree 'Tap the microphone'");
    std::cout << out;
    ASSERT_NE(out.find("\nOK"), std::string::npos) << out << log();
    // The window, its screen with the studio's controls, and the tabs with the first selected.
    for (const char* expected : { "frame \"Studio — Parlivo\"", "\n  tool bar \"Studio\"\n    push button \"Edit\"\n  panel \"Studio\"\n",
             "\n    label \"Tap the microphone to record\"\n    push button \"Record\"\n", "\n  page tab list\n    page tab \"Studio\" [selected]\n",
             "page tab \"Recordings\"", "page tab \"Trash\"" })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << " in\n" << out;
    // The panels waiting below the screen and the back of the carousel are left out.
    EXPECT_EQ(out.find("slider"), std::string::npos) << out;
    EXPECT_EQ(out.find("\"Stop Recording\""), std::string::npos) << out;
    ASSERT_EQ(terminate(), 0) << log();

    start("de");
    out = reader("tree 'Zum Aufnehmen'");
    std::cout << out;
    ASSERT_NE(out.find("\nOK"), std::string::npos) << out << log();
    for (const char* expected : { "push button \"Ändern\"", "label \"Zum Aufnehmen auf das Mikrofon tippen\"", "push button \"Aufnehmen\"",
             "page tab \"Aufnahmen\"", "page tab \"Papierkorb\"" })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << " in\n" << out;
    EXPECT_EQ(out.find("\"Record\""), std::string::npos) << out;
    EXPECT_EQ(terminate(), 0) << log();
}

TEST_F(AccessibilityBusTest, WholeLoopByActionsAlone)
{
    start("en");
    const std::string out = reader("loop 'Budget meeting' "
                                   "'Ready=Tap the microphone;Record=Record;Stop Recording=Stop Recording;Save=Save;Recordings=Recordings;Trash=Trash;"
                                   "Play=Play;Pause=Pause;Delete=Delete;Restore=Restore'");
    std::cout << out;
    ASSERT_NE(out.find("\nOK"), std::string::npos) << out << log();
    EXPECT_NE(out.find("progress bar \"Recording Level\""), std::string::npos) << out;
    EXPECT_NE(out.find("list item \"Budget meeting, "), std::string::npos) << out;
    // The last step slid the playback screen away: the end comes while the slide is under way.
    ASSERT_EQ(terminate(), 0) << log();
    const auto saved = memos();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].title, "Budget meeting");
    EXPECT_EQ(saved[0].location, 1);
    EXPECT_GE(saved[0].playCount, 1);
}

} // namespace
