// The program's window on a real X server (Xvfb of the test's own), ended as a user or the
// desktop ends it: Control+Q, and the window destroyed by another program (xdotool windowclose,
// XDestroyWindow). Each ends the run in order, with the memo being recorded filed, the
// documents' lock released and the next start working; the title names the program once.
#include "AudioTestEnvironment.h"
#include "ProgramRunner.h"
#include "WindowPoints.h"

#include "audio/File.h"
#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using namespace windowpoints;

using Clock = std::chrono::steady_clock;

constexpr double kRate = 22050;

struct Memo {
    std::string title;
    std::string audioFileName;
    double length { 0 };
    int location { 0 };
};

class WindowLifeTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ASSERT_TRUE(foundation::createDirectory(documentsPath()));
        startServer();
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
        if (m_program > 0) {
            ::kill(m_program, SIGKILL);
            ::waitpid(m_program, nullptr, 0);
        }
        if (m_server > 0) {
            ::kill(m_server, SIGTERM);
            ::waitpid(m_server, nullptr, 0);
        }
        TestEnvironment::TearDown();
    }

    // Xvfb on a display of the test's own: a number from the process id, the next one when
    // that is taken (Xvfb then ends at once). Xvfb writes the number to a pipe once it accepts
    // clients. (Letting Xvfb pick races with other servers starting at the same moment.) No
    // reset when the last client leaves: the next start would find the server resetting.
    void startServer()
    {
        for (int attempt = 0; attempt < 40 && m_display.empty(); ++attempt) {
            const std::string display = ":" + std::to_string(100 + (::getpid() * 7 + attempt) % 800);
            int fds[2];
            ASSERT_EQ(::pipe(fds), 0);
            m_server = ::fork();
            ASSERT_GE(m_server, 0);
            if (m_server == 0) {
                ::close(fds[0]);
                const std::string fd = std::to_string(fds[1]);
                const int null = ::open("/dev/null", O_WRONLY);
                ::dup2(null, 1);
                ::dup2(null, 2);
                ::execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
                    static_cast<char*>(nullptr));
                ::_exit(127);
            }
            ::close(fds[1]);
            std::string number;
            char c;
            while (::read(fds[0], &c, 1) == 1 && c != '\n')
                number += c;
            ::close(fds[0]);
            if (!number.empty()) {
                m_display = ":" + number;
                return;
            }
            ::waitpid(m_server, nullptr, 0);
            m_server = -1;
        }
        ASSERT_FALSE(m_display.empty()) << "Xvfb did not start (scripts/packages.txt installs it)";
    }

    /// Runs a shell command against the test's X server; its standard output (with its
    /// errors when asked).
    std::string x11(const std::string& command, bool withErrors = false)
    {
        const std::string line = "DISPLAY=" + m_display + " " + command + (withErrors ? " 2>&1" : " 2>/dev/null");
        FILE* pipe = ::popen(line.c_str(), "r");
        std::string output;
        char buffer[256];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            output.append(buffer, n);
        ::pclose(pipe);
        while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
            output.pop_back();
        return output;
    }

    /// What the program wrote to its standard error.
    std::string log() const
    {
        std::ifstream in(rootDirectory() + "/parlivo.log");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    /// Starts the program in a window on the test's server, replaying input.
    void start(const std::string& input, const std::vector<std::string>& extra = {})
    {
        const std::string script = rootDirectory() + "/input";
        std::ofstream(script) << input;
        std::vector<std::string> args { PARLIVO_EXECUTABLE, "--audio", "virtual", "--mic-file", m_microphone, "--documents", documentsPath(),
            "--scale", "1", "--input", script };
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        // In the sanitizer build, what libdbus keeps for the process's life (Qt's X11 platform
        // asks the session bus for accessibility) is not the program's leak: the same
        // suppressions as the test programs' own (tests/support/ProcessSetup.cpp).
        const std::string suppressions = rootDirectory() + "/lsan.supp";
        std::ofstream(suppressions) << "leak:libfontconfig\nleak:libdbus\n";
        std::vector<std::string> variables { "DISPLAY=" + m_display, "QT_QPA_PLATFORM=xcb", "LSAN_OPTIONS=suppressions=" + suppressions };
        for (char** e = environ; *e; ++e) {
            const std::string variable = *e;
            if (!variable.starts_with("DISPLAY=") && !variable.starts_with("QT_QPA_PLATFORM=") && !variable.starts_with("WAYLAND_DISPLAY=")
                && !variable.starts_with("LSAN_OPTIONS="))
                variables.push_back(variable);
        }
        std::vector<char*> envp;
        for (auto& variable : variables)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string log = rootDirectory() + "/parlivo.log";
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ASSERT_EQ(posix_spawn(&m_program, PARLIVO_EXECUTABLE, &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
    }

    /// The program's window once it is shown (an X window id), waiting up to ten seconds.
    std::string window()
    {
        for (int i = 0; i < 1000; ++i) {
            const std::string found = x11("xdotool search --onlyvisible --pid " + std::to_string(m_program));
            if (!found.empty())
                return found.substr(0, found.find('\n'));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ADD_FAILURE() << "no window appeared:\n" << log();
        return {};
    }

    /// Waits until the memo's audio file holds seconds of sound.
    bool recorded(double seconds)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < deadline) {
            for (const auto& entry : foundation::contentsOfDirectory(documentsPath())) {
                struct stat info {};
                if (entry.ends_with(".caf") && ::stat((documentsPath() + "/" + entry).c_str(), &info) == 0
                    && double(info.st_size) > seconds * kRate * 2 + 4096)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    /// Waits for the program to end; its exit status, -1 when it did not end normally in time.
    int ended()
    {
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(m_program, &status, WNOHANG) == m_program) {
                m_program = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

    std::vector<Memo> memos() const
    {
        std::vector<Memo> result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return result;
        }
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT title, audioFileName, length, location FROM recordings ORDER BY pk", -1, &statement, nullptr);
        auto text = [&](int column) {
            const unsigned char* value = sqlite3_column_text(statement, column);
            return value ? std::string(reinterpret_cast<const char*>(value)) : std::string();
        };
        while (statement && sqlite3_step(statement) == SQLITE_ROW)
            result.push_back({ text(0), text(1), sqlite3_column_double(statement, 2), sqlite3_column_int(statement, 3) });
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }

    /// One run: recording for a while, then ended by end(); then the checks and the next start.
    void recordAndEnd(const std::function<void(const std::string& window)>& end)
    {
        start(std::string("1.2 tap ") + kRecord + "\n");
        const std::string shown = window();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(x11("xdotool getwindowname " + shown), "Studio \u2014 Parlivo") << "the program is named once";
        ASSERT_TRUE(recorded(1.5)) << log();
        end(shown);
        ASSERT_EQ(ended(), 0) << log();

        // The memo being recorded is filed, with the length of its file.
        const auto filed = memos();
        ASSERT_EQ(filed.size(), 1u);
        EXPECT_EQ(filed[0].location, 1);
        EXPECT_GT(filed[0].length, 1.4);
        auto contents = testsupport::readCAF(documentsPath() + "/" + filed[0].audioFileName + ".caf");
        ASSERT_TRUE(contents);
        EXPECT_NEAR(filed[0].length, double(contents->samples.size()) / kRate, 1e-3);
        // The lock was given up with the run.
        EXPECT_TRUE(foundation::InstanceLock::acquire(documentsPath() + "/parlivodb.sql.lock")) << "the documents are still locked";

        // The next start works, shows the unplayed memo's badge in its title, and a second
        // start raises its window.
        start("");
        const std::string again = window();
        ASSERT_FALSE(again.empty());
        for (int i = 0; i < 200 && x11("xdotool getwindowname " + again) != "Studio \u2014 Parlivo (1)"; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(x11("xdotool getwindowname " + again), "Studio \u2014 Parlivo (1)");
        const std::string second = x11(std::string(PARLIVO_EXECUTABLE) + " --documents " + documentsPath(), true);
        EXPECT_NE(second.find("its window was brought to the front"), std::string::npos) << second;
        ::kill(m_program, SIGTERM);
        EXPECT_EQ(ended(), 0) << log();
        EXPECT_EQ(memos().size(), 1u);
    }

    std::string m_display;
    pid_t m_server { -1 };
    pid_t m_program { -1 };
    std::string m_microphone;
};

} // namespace

TEST_F(WindowLifeTest, ControlQEndsTheRunInOrder)
{
    recordAndEnd([this](const std::string& window) { x11("xdotool windowfocus --sync " + window + " key ctrl+q"); });
}

TEST_F(WindowLifeTest, AWindowDestroyedFromOutsideEndsTheRunInOrder)
{
    recordAndEnd([this](const std::string& window) { x11("xdotool windowclose " + window); });
    const std::string text = log();
    EXPECT_NE(text.find("The window was destroyed by another program"), std::string::npos) << text;
    EXPECT_EQ(text.find("XCB error"), std::string::npos) << text;
}
