// The built parlivo in a real window (Xvfb) on a private sound server, driven by timed taps:
// the studio's whole round trip (record, stop, save, open the memo from Recordings, play it),
// and a server without a microphone that gets one while the program runs. What was played is
// read from the null sink's monitor, what was recorded from the database and the memo's file,
// the screen from the frame buffer Xvfb keeps in a file.
//
// PARLIVO_ROUND_TRIPS=10 runs the round trip ten times (two by default, to keep the suite short).

#include "AudioTestEnvironment.h"
#include "PrivateSoundServer.h"
#include "ProgramRunner.h"
#include "WindowPoints.h"

#include "foundation/FileManager.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sqlite3.h>
#include <sstream>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using namespace windowpoints;

using Clock = std::chrono::steady_clock;
using Server = testsupport::PrivateSoundServer;

constexpr double kRate = 22050;
// Points of the 320 × 480 window at scale 1.

std::vector<std::int16_t> soundResource(const char* name)
{
    const char* resources = std::getenv("PARLIVO_RESOURCES");
    auto contents = testsupport::readCAF(std::string(resources ? resources : ".") + "/" + name + ".caf");
    return contents ? contents->samples : std::vector<std::int16_t> {};
}

// Whether expected stands in recorded as one unbroken run.
bool containsRun(const std::vector<std::int16_t>& recorded, const std::vector<std::int16_t>& expected)
{
    return !expected.empty() && std::search(recorded.begin(), recorded.end(), expected.begin(), expected.end()) != recorded.end();
}

// How much of expected stands unbroken in recorded from its start, for a failure's message.
std::string howMuchOf(const std::vector<std::int16_t>& recorded, const std::vector<std::int16_t>& expected)
{
    const size_t probe = std::min<size_t>(expected.size(), 256);
    auto found = std::search(recorded.begin(), recorded.end(), expected.begin(), expected.begin() + long(probe));
    if (found == recorded.end())
        return "its beginning is not there";
    auto mismatch = std::mismatch(found, recorded.end(), expected.begin(), expected.end());
    return "the first " + std::to_string(mismatch.second - expected.begin()) + " of " + std::to_string(expected.size()) + " samples are there";
}

// An X server of the test's own whose screen is also an XWD file in directory.
class PrivateDisplay {
public:
    explicit PrivateDisplay(const std::string& directory)
        : m_directory(directory)
    {
        foundation::createDirectory(directory);
        // A display number no other X server holds (its lock file is the claim).
        for (int number = 90 + ::getpid() % 100; number < 400 && m_display.empty(); ++number) {
            if (::access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0
                || ::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0)
                continue;
            if (start(":" + std::to_string(number)))
                m_display = ":" + std::to_string(number);
        }
    }
    ~PrivateDisplay()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    const std::string& display() const { return m_display; }

    /// The screen's colour at a point, as 0xRRGGBB; none when the frame buffer cannot be read.
    std::optional<std::uint32_t> pixel(int x, int y) const
    {
        std::ifstream in(m_directory + "/Xvfb_screen0", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto field = [&](int index) { return static_cast<std::uint32_t>(testsupport::readBigEndian(bytes, size_t(index) * 4, 4)); };
        if (bytes.size() < 100)
            return std::nullopt;
        // The XWD header: its size, then the geometry, the pixel layout and the colour map.
        const std::uint32_t headerSize = field(0), width = field(4), height = field(5), bitsPerPixel = field(11), bytesPerLine = field(12),
                            colours = field(19);
        if (bitsPerPixel != 32 || x < 0 || y < 0 || std::uint32_t(x) >= width || std::uint32_t(y) >= height)
            return std::nullopt;
        size_t at = headerSize + colours * 12 + size_t(y) * bytesPerLine + size_t(x) * 4;
        if (at + 4 > bytes.size())
            return std::nullopt;
        std::uint32_t value;
        std::memcpy(&value, bytes.data() + at, 4);
        return value & 0xffffff;
    }

private:
    // Starts Xvfb on display; true once it takes connections.
    bool start(const std::string& display)
    {
        m_pid = testsupport::spawnTied({ "Xvfb", display, "-screen", "0", "320x480x24", "-nolisten", "tcp", "-fbdir", m_directory }, nullptr,
            { "/dev/null", "/dev/null", m_directory + "/xvfb.log", false });
        const std::string socketPath = "/tmp/.X11-unix/X" + display.substr(1);
        for (int i = 0; m_pid > 0 && i < 1000; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1; // another server took the number meanwhile
                return false;
            }
            if (::access(socketPath.c_str(), F_OK) == 0 && ::access((m_directory + "/Xvfb_screen0").c_str(), F_OK) == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string m_directory;
    std::string m_display;
    pid_t m_pid { -1 };
};

struct Memo {
    std::string audioFileName;
    double length { 0 };
    int location { 0 };
    int playCount { 0 };
};

class SoundServerProgramTest : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ASSERT_TRUE(foundation::createDirectory(documentsPath()));
        ASSERT_EQ(testsupport::runParlivo("defaults write saveOption autoSave").status, 0);
    }
    void TearDown() override
    {
        m_server.reset();
        m_display.reset();
        TestEnvironment::TearDown();
    }

    void startServer(Server::Options options)
    {
        m_server.emplace(rootDirectory() + "/sound", options);
        ASSERT_TRUE(m_server->ready()) << m_server->error();
        m_display.emplace(rootDirectory() + "/display");
        ASSERT_FALSE(m_display->display().empty()) << "Xvfb did not start";
    }
    Server& server() { return *m_server; }
    PrivateDisplay& display() { return *m_display; }

    /// Starts parlivo in the window with the default audio choice, replaying input; returns
    /// once it launched (its first log line), or -1.
    pid_t launch(const std::string& input)
    {
        const std::string script = rootDirectory() + "/input";
        std::ofstream(script) << input;
        std::vector<std::string> args { PARLIVO_EXECUTABLE, "--documents", documentsPath(), "--scale", "1", "--windowed", "--input", script };
        // In the sanitizer build the leak checker ignores what the session bus library keeps for
        // the life of the process, as it does for the test programs.
        const std::string suppressions = rootDirectory() + "/leaks.supp";
        std::ofstream(suppressions) << "leak:libdbus\nleak:libfontconfig\n";
        std::vector<std::string> environment { "DISPLAY=" + m_display->display(), "QT_QPA_PLATFORM=xcb",
            "LSAN_OPTIONS=suppressions=" + suppressions };
        for (char** entry = environ; *entry; ++entry) {
            if (std::strncmp(*entry, "DISPLAY=", 8) != 0 && std::strncmp(*entry, "QT_QPA_PLATFORM=", 16) != 0
                && std::strncmp(*entry, "LSAN_OPTIONS=", 13) != 0)
                environment.push_back(*entry);
        }
        const auto launches = launchesLogged();
        pid_t pid = testsupport::spawnTied(args, &environment, { "/dev/null", "/dev/null", logPath(), false });
        EXPECT_GT(pid, 0);
        for (int i = 0; i < 3000 && launchesLogged() == launches; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (launchesLogged() == launches) {
            std::ifstream in(rootDirectory() + "/display/xvfb.log");
            ADD_FAILURE() << "no launch; Xvfb says: " << std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        }
        m_launched = Clock::now();
        return pid;
    }
    /// Waits until seconds after the launch.
    void waitUntil(double seconds) const
    {
        std::this_thread::sleep_until(m_launched + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
    }
    /// Ends the program in order, as the desktop does; true when it exited cleanly.
    static bool quit(pid_t pid)
    {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::string logPath() const { return rootDirectory() + "/parlivo.log"; }
    std::string log() const
    {
        std::ifstream in(logPath());
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    int launchesLogged() const
    {
        std::istringstream lines(log());
        int count = 0;
        for (std::string line; std::getline(lines, line);)
            count += line.find("interruptedRecordingKey:") != std::string::npos;
        return count;
    }

    std::vector<Memo> memos() const
    {
        std::vector<Memo> result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((documentsPath() + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, "SELECT audioFileName, length, location, playCount FROM recordings ORDER BY pk", -1, &statement, nullptr);
            while (statement && sqlite3_step(statement) == SQLITE_ROW) {
                const unsigned char* name = sqlite3_column_text(statement, 0);
                result.push_back({ name ? reinterpret_cast<const char*>(name) : "", sqlite3_column_double(statement, 1),
                    sqlite3_column_int(statement, 2), sqlite3_column_int(statement, 3) });
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        std::erase_if(result, [](const Memo& memo) { return memo.location == 0; });
        return result;
    }
    std::vector<std::int16_t> audioOf(const Memo& memo) const
    {
        auto contents = testsupport::readCAF(documentsPath() + "/" + memo.audioFileName + ".caf");
        return contents ? contents->samples : std::vector<std::int16_t> {};
    }

    /// A memo of the microphone: about seconds long, filed with its file's length, and the
    /// sine unbroken (no sample lost or doubled).
    void expectWholeMemo(const Memo& memo, double seconds)
    {
        auto samples = audioOf(memo);
        EXPECT_EQ(memo.location, 1);
        EXPECT_NEAR(memo.length, double(samples.size()) / kRate, 1e-3) << "filed with its file's length";
        EXPECT_NEAR(double(samples.size()) / kRate, seconds, 0.25) << "recorded from the end of the beep to the stop";
        ASSERT_GT(samples.size(), 1000u);
        EXPECT_LT(testsupport::fitSine(samples.data(), samples.size(), Server::kSineFrequency, kRate).largestError, 8)
            << "a sample was lost or doubled";
    }

    /// Whether an alert covers the middle of the studio (its blue panel).
    bool alertShown() const
    {
        auto colour = m_display->pixel(60, 220);
        if (!colour)
            return false;
        const int red = int(*colour >> 16), green = int((*colour >> 8) & 0xff), blue = int(*colour & 0xff);
        return blue > 70 && blue > red + 30 && blue > green + 20;
    }

private:
    std::optional<Server> m_server;
    std::optional<PrivateDisplay> m_display;
    Clock::time_point m_launched;
};

} // namespace

TEST_F(SoundServerProgramTest, TheStudiosRoundTripPlaysAndRecordsEverySample)
{
    startServer({});
    int runs = 2;
    if (const char* chosen = std::getenv("PARLIVO_ROUND_TRIPS"))
        runs = std::max(1, std::atoi(chosen));
    const auto beep = soundResource("beep");
    const auto save = soundResource("save");
    ASSERT_FALSE(beep.empty() || save.empty());
    // Record from the beep's end (turn 0.6 s, beep 0.31 s) to the stop: about three seconds.
    std::ostringstream input;
    // The window takes a moment to show under Xvfb: the first tap comes at 1.2 s.
    input << "1.2 tap " << kRecord << "\n"
          << "5.2 tap " << kStop << "\n"
          << "6.1 tap " << kSave << "\n"
          << "8.3 tap " << kRecordingsTab << "\n"
          << "8.9 tap " << kFirstRow << "\n"
          << "9.7 tap " << kPlay << "\n";
    for (int run = 1; run <= runs && !HasFatalFailure(); ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " of " + std::to_string(runs));
        Server::SinkRecording sink(server(), "speaker");
        ASSERT_TRUE(sink.started());
        pid_t pid = launch(input.str());
        ASSERT_GT(pid, 0);
        waitUntil(14.2);
        EXPECT_TRUE(quit(pid)) << log();
        sink.stop();

        auto filed = memos();
        ASSERT_EQ(filed.size(), size_t(run));
        const Memo& memo = filed.back();
        expectWholeMemo(memo, 3.05);
        EXPECT_EQ(memo.playCount, 1) << "opened and played from Recordings";
        const auto played = sink.samples();
        EXPECT_TRUE(containsRun(played, beep)) << "the beep reached the speaker whole: " << howMuchOf(played, beep);
        EXPECT_TRUE(containsRun(played, save)) << "the save sound reached the speaker whole: " << howMuchOf(played, save);
        EXPECT_TRUE(containsRun(played, audioOf(memo))) << "the memo's playback reached the speaker whole: " << howMuchOf(played, audioOf(memo));
    }
    EXPECT_EQ(log().find("Lost the"), std::string::npos) << log();
}

TEST_F(SoundServerProgramTest, WithoutAMicrophoneRecordSaysSoAndOnceOneIsThereItRecords)
{
    Server::Options options;
    options.microphone = false;
    startServer(options);
    std::ostringstream input;
    input << "1.2 tap " << kRecord << "\n"
          << "4.2 tap " << kAlertButton << "\n"
          << "4.7 tap " << kRecord << "\n"
          << "8.7 tap " << kStop << "\n"
          << "9.6 tap " << kSave << "\n";
    pid_t pid = launch(input.str());
    ASSERT_GT(pid, 0);
    waitUntil(3.2);
    EXPECT_TRUE(alertShown()) << "the studio says there is no microphone";
    EXPECT_TRUE(memos().empty()) << "no memo of silence";
    ASSERT_TRUE(server().loadMicrophone());
    waitUntil(4.5);
    EXPECT_FALSE(alertShown());
    waitUntil(11.7);
    EXPECT_TRUE(quit(pid)) << log();

    auto filed = memos();
    ASSERT_EQ(filed.size(), 1u) << "the recording after the microphone came is the only memo";
    expectWholeMemo(filed[0], 3.05);
    EXPECT_NE(log().find("Cannot open the microphone of sound server ("), std::string::npos) << log();
}

namespace {

class DeviceChoiceTest : public testsupport::TestEnvironment {
protected:
    std::pair<int, std::string> run(const std::string& arguments)
    {
        auto result = testsupport::runParlivo(arguments, testsupport::Collect::StandardError);
        return { result.status, result.output };
    }
};

} // namespace

TEST_F(DeviceChoiceTest, TheServerChosenWithoutOneAnsweringIsOneLineAndNeverTheVirtualMicrophone)
{
    // Nothing listens at this address: the choice is said once, and nothing else stands in.
    setenv("PULSE_SERVER", ("unix:" + rootDirectory() + "/none").c_str(), 1);
    auto [status, output] = run("--audio server --screenshot " + rootDirectory() + "/shot.png");
    unsetenv("PULSE_SERVER");
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("The sound server does not answer ("), std::string::npos) << output;
    EXPECT_EQ(output.find("virtual"), std::string::npos) << output;
    EXPECT_EQ(run("--audio pulse").first, 2);
}

TEST_F(DeviceChoiceTest, TheChosenDevicesAreSettingsThatTakeADevicesName)
{
    for (const char* key : { "microphoneDevice", "speakerDevice" }) {
        SCOPED_TRACE(key);
        EXPECT_EQ(run(std::string("defaults write ") + key + " alsa_input.pci-0000_00_1f.3.analog-stereo").first, 0);
        EXPECT_EQ(run(std::string("defaults write ") + key + " bluez_sink.00:11:22:33:44:55.a2dp_sink").first, 0);
        auto [status, output] = run(std::string("defaults write ") + key + " 'two words'");
        EXPECT_EQ(status, 1);
        EXPECT_NE(output.find("takes a sound device's name"), std::string::npos) << output;
        EXPECT_EQ(run(std::string("defaults write ") + key + " ''").first, 0) << "empty follows the system";
    }
}
