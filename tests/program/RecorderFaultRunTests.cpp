// The parlivo program run as a user would into real faults: a disk that fills while it records
// (a small tmpfs when this process may mount one, else the file size limit), a memo whose file
// was replaced by a named pipe, and a client of the instance socket that connects and says
// nothing. Each round counts the memos lost; the figure wanted is 0.
//
// PARLIVO_FAULT_ROUNDS gives more full-disk rounds (by hand, e.g. PARLIVO_FAULT_ROUNDS=10).
#include "AudioTestEnvironment.h"
#include "FileSizeLimit.h"
#include "ProgramRunner.h"
#include "WindowPoints.h"

#include "audio/File.h"
#include "foundation/FileManager.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace {

using namespace windowpoints;

using Clock = std::chrono::steady_clock;

constexpr double kRate = 22050;
// The ballast that keeps the small disk full, in pieces a round frees one by one.
constexpr int kBallastPiece = 64 * 1024;

struct Row {
    int key { 0 };
    std::string audioFileName;
    double length { 0 };
    int location { 0 };
};

class RecorderFaultRun : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        m_microphone = rootDirectory() + "/microphone.caf";
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(m_microphone, audio::kFileCAFType, audio::linearPCM16(kRate, 1), audio::kFileFlagsEraseFile, &file),
            audio::noErr);
        m_ramp = testsupport::rampSamples(static_cast<std::size_t>(kRate * 60), 3);
        auto n = static_cast<std::uint32_t>(m_ramp.size());
        ASSERT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, m_ramp.data()), audio::noErr);
        file->close();
        ASSERT_EQ(testsupport::runParlivo("defaults write saveOption autoSave").status, 0);
        m_documents = documentsPath();
    }
    void TearDown() override
    {
        if (!m_mount.empty())
            ::umount2(m_mount.c_str(), MNT_DETACH);
        TestEnvironment::TearDown();
    }

    /// Puts the documents on a tmpfs of its own, full but for what the rounds free: true when
    /// this process may mount one (root in CI), else the runs meet the file size limit.
    bool mountSmallDisk()
    {
        const std::string mount = rootDirectory() + "/small";
        if (!foundation::createDirectory(mount) || ::mount("tmpfs", mount.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=2m,mode=0700") != 0)
            return false;
        m_mount = mount;
        m_documents = mount + "/Documents";
        EXPECT_TRUE(foundation::createDirectory(m_documents));
        // A first run copies the database in while there is room.
        restartAndQuit();
        const std::string piece(kBallastPiece, 'b');
        for (int i = 0;; ++i) {
            const std::string path = mount + "/ballast-" + std::to_string(i);
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const bool whole = fd >= 0 && ::write(fd, piece.data(), piece.size()) == ssize_t(piece.size());
            if (fd >= 0)
                ::close(fd);
            if (!whole) {
                ::unlink(path.c_str());
                break;
            }
            m_ballast.push_back(path);
        }
        return true;
    }
    /// Makes room on the small disk for about count × 64 KB.
    void freeBallast(int count)
    {
        for (int i = 0; i < count && !m_ballast.empty(); ++i) {
            ::unlink(m_ballast.back().c_str());
            m_ballast.pop_back();
        }
    }

    pid_t start(const std::string& input)
    {
        const std::string script = rootDirectory() + "/input";
        std::ofstream(script) << input;
        pid_t pid = testsupport::spawnParlivo({ "--audio", "virtual", "--mic-file", m_microphone, "--documents", m_documents, "--scale", "1", "--input", script },
            rootDirectory() + "/parlivo.log");
        EXPECT_GT(pid, 0);
        return pid;
    }
    /// Ends the program in order (as the desktop does) and answers whether it exited cleanly.
    static bool quit(pid_t pid)
    {
        ::kill(pid, SIGTERM);
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    /// Waits until the log holds fragment more often than before, at most seconds.
    bool waitForLog(const std::string& fragment, int before, double seconds) const
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < until) {
            if (logCount(fragment) > before)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    int logCount(const std::string& fragment) const
    {
        std::ifstream in(rootDirectory() + "/parlivo.log");
        std::string line;
        int count = 0;
        while (std::getline(in, line))
            count += line.find(fragment) != std::string::npos;
        return count;
    }
    void restartAndQuit()
    {
        const int launches = logCount("interruptedRecordingKey:");
        pid_t pid = start("");
        EXPECT_TRUE(waitForLog("interruptedRecordingKey:", launches, 30));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        EXPECT_TRUE(quit(pid)) << "see " << rootDirectory() << "/parlivo.log";
    }

    std::map<int, Row> rows() const
    {
        std::map<int, Row> result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2((m_documents + "/parlivodb.sql").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return result;
        }
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT pk, audioFileName, length, location FROM recordings", -1, &statement, nullptr);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            const unsigned char* name = sqlite3_column_text(statement, 1);
            result[sqlite3_column_int(statement, 0)]
                = { sqlite3_column_int(statement, 0), name ? reinterpret_cast<const char*>(name) : "", sqlite3_column_double(statement, 2),
                      sqlite3_column_int(statement, 3) };
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }
    std::string audioPath(const Row& row) const { return m_documents + "/" + row.audioFileName + ".caf"; }

    /// Whether a memo is kept whole: filed, its audio the microphone's from the first sample on,
    /// in order, and its length that of its file.
    bool keptWhole(const Row& memo, std::size_t minimumSamples)
    {
        auto contents = testsupport::readCAF(audioPath(memo));
        EXPECT_TRUE(contents.has_value()) << memo.audioFileName;
        if (!contents)
            return false;
        const auto& samples = contents->samples;
        EXPECT_GE(samples.size(), minimumSamples);
        const bool inOrder = samples.size() <= m_ramp.size() && std::equal(samples.begin(), samples.end(), m_ramp.begin());
        EXPECT_TRUE(inOrder) << "the memo's sound is the microphone's, in order";
        EXPECT_EQ(memo.location, 1);
        EXPECT_NEAR(memo.length, double(samples.size()) / kRate, 1e-3);
        return inOrder && memo.location == 1 && samples.size() >= minimumSamples && std::abs(memo.length - double(samples.size()) / kRate) < 1e-3;
    }

    static int fullDiskRounds()
    {
        const char* rounds = std::getenv("PARLIVO_FAULT_ROUNDS");
        return rounds ? std::max(1, std::atoi(rounds)) : 1;
    }

    std::string m_microphone;
    std::vector<std::int16_t> m_ramp;
    std::string m_documents;
    std::string m_mount;
    std::vector<std::string> m_ballast;
};

} // namespace

TEST_F(RecorderFaultRun, ADiskThatFillsWhileRecordingLosesNoMemoAndNoSample)
{
    const bool tmpfs = mountSmallDisk();
    std::printf("full disk: %s\n", tmpfs ? "a 2 MB tmpfs filled with ballast" : "the file size limit (this process may not mount)");
    const int rounds = fullDiskRounds();
    int lost = 0;
    for (int round = 1; round <= rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto before = rows();
        if (tmpfs)
            freeBallast(3);
        const int stops = logCount("stopped after");
        pid_t pid = 0;
        {
            // The limit is the child's from its start; this process gets its own back at once.
            std::optional<testsupport::FileSizeLimit> limit;
            if (!tmpfs)
                limit.emplace(160000);
            pid = start(std::string("1.2 tap ") + kRecord + "\n");
        }
        const bool stopped = waitForLog("stopped after", stops, 20);
        EXPECT_TRUE(stopped) << "the recorder stops itself when the disk is full";
        // The alert is up once the memo is filed; then the user makes room and quits.
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        if (tmpfs)
            freeBallast(1);
        EXPECT_TRUE(quit(pid));
        restartAndQuit();

        const auto after = rows();
        for (const auto& [key, row] : before)
            lost += after.count(key) ? 0 : 1;
        std::vector<Row> added;
        for (const auto& [key, row] : after)
            if (!before.count(key))
                added.push_back(row);
        ASSERT_EQ(added.size(), 1u);
        lost += keptWhole(added.front(), 20000) ? 0 : 1;
    }
    EXPECT_GE(logCount("the disk is full"), rounds);
    EXPECT_EQ(logCount("error -1000"), 0);
    std::printf("full disk: %d rounds, %d memos lost\n", rounds, lost);
    RecordProperty("memos_lost", lost);
    EXPECT_EQ(lost, 0);
}

TEST_F(RecorderFaultRun, APipeAtAMemosPathAndASilentClientNeverHoldTheWindow)
{
    // A memo recorded and saved, whose file is then replaced by a named pipe.
    pid_t pid = start(std::string("1.2 tap ") + kRecord + "\n2.4 tap " + kStop + "\n3.2 tap " + kSave + "\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(4200));
    ASSERT_TRUE(quit(pid));
    auto memos = rows();
    ASSERT_EQ(memos.size(), 1u);
    const Row memo = memos.begin()->second;
    ASSERT_EQ(memo.location, 1);
    ASSERT_EQ(::unlink(audioPath(memo).c_str()), 0);
    ASSERT_EQ(::mkfifo(audioPath(memo).c_str(), 0600), 0);

    // The memo is opened from Recordings and played.
    const int cannotPlay = logCount("Cannot play the audio file");
    pid = start(std::string("1.5 tap ") + kRecordingsTab + "\n2.3 tap " + kFirstRow + "\n3.2 tap " + kPlay + "\n");
    EXPECT_TRUE(waitForLog("Cannot play the audio file", cannotPlay, 15)) << "the screen says so instead of waiting";

    // A client that connects and says nothing.
    int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (m_documents + "/parlivodb.sql.socket").c_str());
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Meanwhile a second start is answered: the window's thread waits for neither.
    const auto asked = Clock::now();
    auto second = testsupport::runParlivo("--documents " + m_documents, testsupport::Collect::StandardError);
    const double answeredAfter = std::chrono::duration<double>(Clock::now() - asked).count();
    EXPECT_EQ(second.status, 0) << second.output;
    EXPECT_NE(second.output.find("brought to the front"), std::string::npos) << second.output;
    char byte;
    EXPECT_LT(::recv(silent, &byte, 1, MSG_DONTWAIT), 0) << "the silent client was still connected when the raise was answered";
    ::close(silent);
    EXPECT_TRUE(quit(pid)) << "the program ends in order";
    std::printf("pipe and silent client: the second start was answered after %.2f s\n", answeredAfter);

    // The memo is still there, its row as it was.
    auto after = rows();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after.begin()->second.location, 1);
    struct stat info {};
    ASSERT_EQ(::lstat(audioPath(memo).c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}
