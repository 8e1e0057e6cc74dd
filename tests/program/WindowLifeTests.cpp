// The program's window on a real X server (Xvfb of the test's own), ended as a user or the
// desktop ends it: Control+Q, and the window destroyed by another program (xdotool windowclose,
// XDestroyWindow). Each ends the run in order, with the memo being recorded filed, the
// documents' lock released and the next start working; the title names the program once.
#include "AudioTestEnvironment.h"
#include "PrivateXServer.h"
#include "ProgramRunner.h"
#include "WindowPoints.h"

#include "audio/File.h"
#include "graphics/Geometry.h"
#include "foundation/FileManager.h"
#include "foundation/InstanceLock.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sndfile.h>
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

    void startServer(const std::string& screen = "1024x768x24", int dpi = 96)
    {
        m_display = testsupport::startPrivateXServer(&m_server, 7, screen, dpi);
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

    /// Another X server in place of the first: a display of another size and density.
    void restartServer(const std::string& screen, int dpi)
    {
        ::kill(m_server, SIGTERM);
        ::waitpid(m_server, nullptr, 0);
        m_server = -1;
        m_display.clear();
        startServer(screen, dpi);
    }

    /// Starts the program in a window on the test's server, replaying input; at scale 1 unless
    /// scaled is false (the program chooses).
    void start(const std::string& input, const std::vector<std::string>& extra = {}, bool scaled = true)
    {
        const std::string script = rootDirectory() + "/input";
        std::ofstream(script) << input;
        std::vector<std::string> args { PARLIVO_EXECUTABLE, "--audio", "virtual", "--mic-file", m_microphone, "--documents", documentsPath(),
            "--input", script };
        if (scaled)
            args.insert(args.end(), { "--scale", "1" });
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

    /// The window's size and place (xwininfo's absolute corner and size).
    gfx::Rect geometry(const std::string& window)
    {
        const std::string info = x11("xwininfo -id " + window);
        auto field = [&](const std::string& name) {
            const size_t at = info.find(name);
            return at == std::string::npos ? -1.0f : std::stof(info.substr(at + name.size()));
        };
        return { field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:") };
    }
    /// Waits until the window has the size asked for.
    bool sized(const std::string& window, float width, float height)
    {
        for (int i = 0; i < 500; ++i) {
            const gfx::Rect shown = geometry(window);
            if (shown.width() == width && shown.height() == height)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    /// The window's pixels as the X server holds them (xwd's Z pixmap of 32-bit true colour).
    struct Picture {
        int width { 0 };
        int height { 0 };
        std::vector<std::uint32_t> pixels;
        std::uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)] & 0xffffff; }
    };
    Picture picture(const std::string& window)
    {
        const std::string path = rootDirectory() + "/window.xwd";
        x11("xwd -silent -id " + window + " -out " + path);
        std::ifstream in(path, std::ios::binary);
        std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto word = [&](size_t index) {
            const size_t at = index * 4;
            return at + 4 <= data.size() ? std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 | std::uint32_t(data[at + 2]) << 8 | data[at + 3]
                                         : 0u;
        };
        Picture result;
        const std::uint32_t headerSize = word(0), bitsPerPixel = word(11), bytesPerLine = word(12), colours = word(19), byteOrder = word(7);
        result.width = int(word(4));
        result.height = int(word(5));
        const size_t start = headerSize + size_t(colours) * 12;
        if (bitsPerPixel != 32 || data.size() < start + size_t(bytesPerLine) * size_t(result.height))
            return {};
        for (int y = 0; y < result.height; ++y)
            for (int x = 0; x < result.width; ++x) {
                const unsigned char* p = &data[start + size_t(y) * bytesPerLine + size_t(x) * 4];
                result.pixels.push_back(byteOrder == 0 ? std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
                                                       : std::uint32_t(p[3]) | std::uint32_t(p[2]) << 8 | std::uint32_t(p[1]) << 16);
            }
        return result;
    }
    /// Whether the screen reaches every edge of the window, as the bars show: the navigation bar
    /// (grey, just under the status bar) at both sides, and the tab bar's first and last items
    /// near the bottom corners. A screen of the wrong shape, centred on black, leaves them dark.
    static std::vector<std::string> bands(const Picture& shown, float scale)
    {
        std::vector<std::string> found;
        if (shown.width <= 0)
            return { "no picture" };
        const int bar = int(42 * scale);
        if (shown.at(1, bar) == 0 || shown.at(shown.width - 2, bar) == 0)
            found.push_back("the navigation bar does not reach the sides");
        auto lit = [&](int from, int to) {
            for (int y = shown.height - int(45 * scale); y < shown.height - int(3 * scale); ++y)
                for (int x = from; x < to; ++x)
                    if ((shown.at(x, y) & 0xff) > 0x60)
                        return true;
            return false;
        };
        if (!lit(0, shown.width / 8))
            found.push_back("no tab at the bottom left");
        if (!lit(shown.width - shown.width / 8, shown.width))
            found.push_back("no tab at the bottom right");
        return found;
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

// An end asked for at any moment of the start, even before the program's event loop runs,
// ends the run (it was once dropped, and the program ran on until something else woke it).
TEST_F(WindowLifeTest, ASignalJustAsTheWindowShowsEndsTheRun)
{
    for (int round = 0; round < 8; ++round) {
        start("");
        ASSERT_FALSE(window().empty());
        ::kill(m_program, SIGTERM);
        ASSERT_EQ(ended(), 0) << "round " << round << "\n" << log();
    }
}

TEST_F(WindowLifeTest, AWindowDestroyedFromOutsideEndsTheRunInOrder)
{
    recordAndEnd([this](const std::string& window) { x11("xdotool windowclose " + window); });
    const std::string text = log();
    EXPECT_NE(text.find("The window was destroyed by another program"), std::string::npos) << text;
    EXPECT_EQ(text.find("XCB error"), std::string::npos) << text;
}

// The window resized while a memo is recorded and while it plays: the screen takes each new
// size without bands, and the sound goes on exactly, sample for sample.
TEST_F(WindowLifeTest, ResizingTheWindowKeepsTheRecordingAndThePlaybackWhole)
{
    start(std::string("1.2 tap ") + kRecord + "\n");
    const std::string shown = window();
    ASSERT_FALSE(shown.empty());
    ASSERT_TRUE(recorded(0.8)) << log();
    // Sizes within the server's 1024 x 768, which clips what lies beyond.
    for (auto [width, height] : { std::pair { 700, 500 }, std::pair { 400, 760 }, std::pair { 1000, 700 }, std::pair { 320, 480 } }) {
        x11("xdotool windowsize --sync " + shown + " " + std::to_string(width) + " " + std::to_string(height));
        ASSERT_TRUE(sized(shown, float(width), float(height))) << width << "x" << height;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Picture now = picture(shown);
        ASSERT_EQ(now.width, width);
        EXPECT_EQ(bands(now, 1), std::vector<std::string> {}) << width << "x" << height;
    }
    ASSERT_TRUE(recorded(2.5)) << log();
    x11("xdotool windowfocus --sync " + shown + " key ctrl+q");
    ASSERT_EQ(ended(), 0) << log();
    const auto filed = memos();
    ASSERT_EQ(filed.size(), 1u);
    const std::string memoPath = documentsPath() + "/" + filed[0].audioFileName + ".caf";
    auto memo = testsupport::readCAF(memoPath);
    ASSERT_TRUE(memo);
    ASSERT_GT(memo->samples.size(), size_t(kRate * 2.4));
    auto ramp = testsupport::rampSamples(static_cast<std::size_t>(kRate * 30), 3);
    EXPECT_TRUE(std::equal(memo->samples.begin(), memo->samples.end(), ramp.begin())) << "the memo is what the microphone gave";

    // Played back through the keys while the window changes its shape.
    const std::string speaker = rootDirectory() + "/speaker.caf";
    start("", { "--speaker-file", speaker });
    const std::string again = window();
    ASSERT_FALSE(again.empty());
    x11("xdotool windowfocus --sync " + again + " key ctrl+2");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    x11("xdotool windowfocus --sync " + again + " key Down Return");
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    x11("xdotool windowfocus --sync " + again + " key space");
    for (auto [width, height] : { std::pair { 900, 600 }, std::pair { 360, 720 }, std::pair { 640, 760 } }) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        x11("xdotool windowsize --sync " + again + " " + std::to_string(width) + " " + std::to_string(height));
        ASSERT_TRUE(sized(again, float(width), float(height))) << width << "x" << height;
    }
    // The whole memo plays (it is about three seconds long), then the run ends.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    x11("xdotool windowfocus --sync " + again + " key ctrl+q");
    ASSERT_EQ(ended(), 0) << log();
    auto played = testsupport::readCAF(speaker);
    ASSERT_TRUE(played) << log();
    auto first = std::find_if(played->samples.begin(), played->samples.end(), [](std::int16_t s) { return s != 0; });
    // The ramp's first sample is -32768: the memo starts where the silence before it ends.
    ASSERT_GE(std::distance(first, played->samples.end()), std::ptrdiff_t(memo->samples.size())) << "the whole memo was played";
    EXPECT_TRUE(std::equal(memo->samples.begin(), memo->samples.end(), first)) << "the speaker played the memo, sample for sample";
}

// A handheld's display (phone-sized: 720 x 1440 pixels at 270 dpi) is filled, by default, with
// no band above or below the screen.
TEST_F(WindowLifeTest, AHandheldOpensFullScreenWithoutBands)
{
    restartServer("720x1440x24", 270);
    start("", {}, false);
    const std::string shown = window();
    ASSERT_FALSE(shown.empty());
    ASSERT_TRUE(sized(shown, 720, 1440)) << "full screen: " << geometry(shown).width() << "x" << geometry(shown).height() << "\n" << log();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Picture now = picture(shown);
    ASSERT_EQ(now.height, 1440);
    EXPECT_EQ(bands(now, 2), std::vector<std::string> {});
    x11("xdotool key ctrl+q");
    EXPECT_EQ(ended(), 0) << log();

    // The same pixels as a portrait monitor (100 dpi) open a window.
    restartServer("720x1440x24", 100);
    start("", {}, false);
    const std::string windowed = window();
    ASSERT_FALSE(windowed.empty());
    EXPECT_LT(geometry(windowed).width(), 720);
    ::kill(m_program, SIGTERM);
    EXPECT_EQ(ended(), 0) << log();
}

// The window comes back where the user left it, at the size they gave it.
TEST_F(WindowLifeTest, TheWindowsSizeAndPlaceAreKept)
{
    start("");
    const std::string shown = window();
    ASSERT_FALSE(shown.empty());
    x11("xdotool windowsize --sync " + shown + " 500 700 windowmove --sync " + shown + " 120 40");
    ASSERT_TRUE(sized(shown, 500, 700));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    x11("xdotool windowfocus --sync " + shown + " key ctrl+q");
    ASSERT_EQ(ended(), 0) << log();

    start("");
    const std::string again = window();
    ASSERT_FALSE(again.empty());
    ASSERT_TRUE(sized(again, 500, 700)) << geometry(again).width() << "x" << geometry(again).height();
    EXPECT_EQ(geometry(again).origin, gfx::Point(120, 40));
    ::kill(m_program, SIGTERM);
    EXPECT_EQ(ended(), 0) << log();

    // A place no screen holds any more: the size comes back on the screen there is.
    std::ofstream(rootDirectory() + "/.local/state/parlivo/window") << "5000 3000 500 700 0\n";
    start("");
    const std::string moved = window();
    ASSERT_FALSE(moved.empty());
    ASSERT_TRUE(sized(moved, 500, 700));
    const gfx::Rect placed = geometry(moved);
    EXPECT_LE(placed.maxX(), 1024);
    EXPECT_LE(placed.maxY(), 768);
    ::kill(m_program, SIGTERM);
    EXPECT_EQ(ended(), 0) << log();
}

// parlivo import beside the running program: the running one files the memo (a second writer
// would be refused the lock) and says why it refuses a file that is not sound.
TEST_F(WindowLifeTest, AnImportBesideTheRunningProgramIsFiledByIt)
{
    start("");
    ASSERT_FALSE(window().empty());
    const std::string tone = rootDirectory() + "/Harbour walk.wav";
    {
        SF_INFO info {};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* sound = sf_open(tone.c_str(), SFM_WRITE, &info);
        ASSERT_NE(sound, nullptr);
        std::vector<short> samples(44100 * 2, 3000);
        sf_writef_short(sound, samples.data(), 44100);
        sf_close(sound);
    }
    ASSERT_TRUE(foundation::writeFileAtomically(rootDirectory() + "/notes.wav", "not sound"));
    // The socket is made once the window shows; a moment after may still find none.
    testsupport::ProgramResult imported { -1, {} };
    for (int attempt = 0; attempt < 100 && imported.status != 0; ++attempt) {
        imported = testsupport::runParlivo("--documents " + documentsPath() + " import '" + tone + "'");
        if (imported.status != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(imported.status, 0) << log();
    // Key 1 is the studio's current recording.
    EXPECT_EQ(imported.output, "2\t" + tone + "\n");
    auto refused = testsupport::runParlivo("--documents " + documentsPath() + " import " + rootDirectory() + "/notes.wav", testsupport::Collect::StandardError);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.output.find("notes.wav was not imported: it is not a sound file that can be read"), std::string::npos) << refused.output;
    EXPECT_NE(log().find("Imported " + tone + " as memo 2."), std::string::npos) << log();

    ::kill(m_program, SIGTERM);
    ASSERT_EQ(ended(), 0) << log();
    const auto listed = testsupport::runParlivo("--documents " + documentsPath() + " list");
    EXPECT_NE(listed.output.find("2\tHarbour walk\t"), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find("\t1.00\trecordings\n"), std::string::npos) << listed.output;
}
