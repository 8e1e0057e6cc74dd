// A fault run of the shipped program over what its store meets: the database deleted, a kill
// while every memo is filed again, a named pipe at a memo's path, a log of another database
// beside the user's, a damaged page, another program's lock at start-up, a folder that cannot
// be written, a full disk at start, a bad settings file read by many processes. Each scenario
// is one round (PARLIVO_FAULT_ROUNDS gives more of each, by hand); the run prints its rounds
// and the memos lost, which must be none.
#include "AudioTestEnvironment.h"
#include "OtherUser.h"
#include "ProgramRunner.h"

#include "audio/File.h"
#include "foundation/FileManager.h"
#include "foundation/StringFormat.h"
#include "foundation/UUID.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <map>
#include <random>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Memo {
    std::string title;
    int location { 0 };
    double length { 0 };
};

/// How a start of the program is made.
struct Start {
    /// No file of the program may grow beyond this many bytes (a full disk); 0 for no limit.
    rlim_t fileSizeLimit { 0 };
    /// Run as "nobody" when the test runs as root, so that permissions hold.
    bool whereNotRoot { false };
    /// The log to write to instead of the run's (a full disk cannot add to a long one).
    std::string log;
};

class StoreFaultRun : public testsupport::TestEnvironment {
protected:
    void SetUp() override
    {
        TestEnvironment::SetUp();
        ASSERT_TRUE(foundation::createDirectory(documentsPath()));
        m_log = rootDirectory() + "/parlivo.log";
        std::shared_ptr<audio::File> file;
        const std::string sample = rootDirectory() + "/sample.caf";
        ASSERT_EQ(audio::File::create(sample, audio::kFileCAFType, audio::linearPCM16(22050, 1), audio::kFileFlagsEraseFile, &file), audio::noErr);
        auto samples = testsupport::rampSamples(11025);
        std::uint32_t n = static_cast<std::uint32_t>(samples.size());
        ASSERT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), audio::noErr);
        file->close();
        m_sample = foundation::readFile(sample).value_or("");
    }

    std::string templatePath() const { return std::string(std::getenv("PARLIVO_RESOURCES")) + "/parlivodb.sql"; }
    std::string databasePath() const { return documentsPath() + "/parlivodb.sql"; }

    /// A fresh, empty documents folder for the next round.
    void emptyDocuments()
    {
        testsupport::makeWritable(documentsPath());
        testsupport::removeTree(documentsPath());
        ASSERT_TRUE(foundation::createDirectory(documentsPath()));
    }

    /// Half a second of a recording under a fresh name; the name.
    std::string makeMemo()
    {
        const std::string name = foundation::makeUUIDString();
        std::ofstream(documentsPath() + "/" + name + ".caf", std::ios::binary) << m_sample;
        return name;
    }

    /// Starts the program on the virtual devices with output to the log.
    pid_t start(const Start& how = {})
    {
        std::vector<std::string> args { PARLIVO_EXECUTABLE, "--audio", "virtual", "--documents", documentsPath(), "--scale", "1" };
        pid_t pid = ::fork();
        if (pid == 0) {
            int out = ::open("/dev/null", O_WRONLY);
            int err = ::open((how.log.empty() ? m_log : how.log).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
            ::dup2(out, 1);
            ::dup2(err, 2);
            if (how.fileSizeLimit) {
                std::signal(SIGXFSZ, SIG_IGN);
                rlimit limit { how.fileSizeLimit, how.fileSizeLimit };
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            if (how.whereNotRoot && ::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
                ::_exit(3);
            std::vector<char*> argv;
            for (auto& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(PARLIVO_EXECUTABLE, argv.data());
            ::_exit(127);
        }
        return pid;
    }

    int launchesLogged(const std::string& log) const
    {
        std::ifstream in(log);
        std::string line;
        int count = 0;
        while (std::getline(in, line))
            count += line.find("interruptedRecordingKey:") != std::string::npos;
        return count;
    }

    /// Starts the program, waits until it has launched (its start-up done), and ends it in
    /// order; false when it did not launch within the time (it hung) or did not end cleanly.
    bool runAndQuit(const Start& how = {}, double launchWithin = 30)
    {
        const std::string log = how.log.empty() ? m_log : how.log;
        const int launches = launchesLogged(log);
        pid_t pid = start(how);
        const auto until = Clock::now() + std::chrono::duration<double>(launchWithin);
        while (launchesLogged(log) == launches && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const bool launched = launchesLogged(log) > launches;
        EXPECT_TRUE(launched) << "no launch within " << launchWithin << " s";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::kill(pid, launched ? SIGTERM : SIGKILL);
        int status = 0;
        const bool ended = waitFor(pid, 20, status);
        EXPECT_TRUE(ended) << "did not end within 20 s of SIGTERM";
        return launched && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    /// Waits for the child to end; after seconds it is killed, and false is answered.
    static bool waitFor(pid_t pid, double seconds, int& status)
    {
        const auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < until) {
            if (::waitpid(pid, &status, WNOHANG) == pid)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return false;
    }

    void killAfter(double seconds)
    {
        pid_t pid = start();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }

    /// The memos of the database by audio file name (read-only); a name filed twice counts once
    /// and is reported.
    std::map<std::string, Memo> memos()
    {
        std::map<std::string, Memo> result;
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, "SELECT audioFileName, title, location, length FROM recordings WHERE location IN (1, 2)", -1, &statement, nullptr);
            while (statement && sqlite3_step(statement) == SQLITE_ROW) {
                const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
                const auto* title = sqlite3_column_text(statement, 1);
                EXPECT_FALSE(result.count(name)) << name << " is filed twice";
                result[name] = { title ? reinterpret_cast<const char*>(title) : "", sqlite3_column_int(statement, 2), sqlite3_column_double(statement, 3) };
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return result;
    }

    /// Counts, for the summary, the memos of names that are not listed now.
    void countLost(const std::string& scenario, const std::vector<std::string>& names)
    {
        const auto listed = memos();
        int lost = 0;
        for (const auto& name : names)
            lost += !listed.count(name);
        m_lost += lost;
        ++m_rounds;
        EXPECT_EQ(lost, 0) << scenario << ": " << lost << " of " << names.size() << " memos are not listed";
    }

    /// Runs SQL on a database of the test's own.
    static void run(const std::string& path, const std::string& sql)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << sql << ": " << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    /// A database from the template with a titled row for each name (every third in the Trash).
    void fileWithTitles(const std::vector<std::string>& names)
    {
        ASSERT_TRUE(foundation::copyItem(templatePath(), databasePath()));
        std::string sql = "BEGIN;";
        for (size_t i = 0; i < names.size(); ++i)
            sql += "INSERT INTO recordings (title, audioFileName, location, createdDate, length) VALUES ('Memo " + std::to_string(i) + " "
                + std::string(150, 't') + "', '" + names[i] + "', " + (i % 3 == 2 ? "2" : "1") + ", " + std::to_string(1000 + i) + ", 0.5);";
        run(databasePath(), sql + "COMMIT");
    }

    std::string logText() const { return foundation::readFile(m_log).value_or(""); }

    std::string m_log;
    std::string m_sample;
    int m_rounds { 0 };
    int m_lost { 0 };
    int m_titlesLost { 0 };
};

/// Prints how long a scenario took when it ends (a start that hangs shows where).
struct Scenario {
    explicit Scenario(const char* name)
        : name(name)
    {
    }
    ~Scenario()
    {
        std::printf("%-80s %5.1f s\n", name, std::chrono::duration<double>(Clock::now() - started).count());
        std::fflush(stdout);
    }
    const char* name;
    Clock::time_point started { Clock::now() };
};

std::vector<std::string> entriesStartingWith(const std::string& directory, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const auto& name : foundation::contentsOfDirectory(directory))
        if (name.starts_with(prefix))
            found.push_back(name);
    return found;
}

} // namespace

TEST_F(StoreFaultRun, TheStoreLosesNoMemoToTheFaultsUsersMeet)
{
    int rounds = 1;
    if (const char* chosen = std::getenv("PARLIVO_FAULT_ROUNDS"))
        rounds = std::max(1, std::atoi(chosen));
    std::mt19937 random(11);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };

    for (int round = 0; round < rounds && !HasFatalFailure(); ++round) {
        {
            Scenario scenario("the database deleted, three memos left");
            SCOPED_TRACE("the database deleted, three memos left");
            emptyDocuments();
            std::vector<std::string> names { makeMemo(), makeMemo(), makeMemo() };
            EXPECT_TRUE(runAndQuit());
            EXPECT_TRUE(runAndQuit());
            countLost("database deleted", names);
        }
        {
            Scenario scenario("killed while 300 memos are filed again");
            SCOPED_TRACE("killed while 300 memos are filed again");
            emptyDocuments();
            std::vector<std::string> names;
            for (int i = 0; i < 300; ++i)
                names.push_back(makeMemo());
            killAfter(uniform(0.15, 0.9));
            EXPECT_TRUE(runAndQuit());
            countLost("killed while filing", names);
        }
        {
            Scenario scenario("a named pipe at a memo's path");
            SCOPED_TRACE("a named pipe at a memo's path");
            emptyDocuments();
            std::vector<std::string> names { makeMemo(), makeMemo() };
            ASSERT_EQ(::mkfifo((documentsPath() + "/" + foundation::makeUUIDString() + ".caf").c_str(), 0600), 0);
            EXPECT_TRUE(runAndQuit({}, 20)) << "the start hung";
            countLost("named pipe", names);
        }
        {
            Scenario scenario("a log of another database beside the user's");
            SCOPED_TRACE("a log of another database beside the user's");
            emptyDocuments();
            std::vector<std::string> names { makeMemo(), makeMemo(), makeMemo() };
            fileWithTitles(names);
            const std::string other = rootDirectory() + "/other-" + std::to_string(round) + ".sql";
            ASSERT_TRUE(foundation::copyItem(templatePath(), other));
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(other.c_str(), &db), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL; INSERT INTO recordings (title, audioFileName, location) VALUES ('Not yours', '99999999-9999-4999-8999-999999999999', 1)",
                          nullptr, nullptr, nullptr),
                SQLITE_OK);
            ASSERT_TRUE(foundation::copyItem(other + "-wal", databasePath() + "-wal"));
            sqlite3_close(db);
            EXPECT_TRUE(runAndQuit());
            countLost("log of another database", names);
            const auto listed = memos();
            for (size_t i = 0; i < names.size(); ++i) {
                const bool kept = listed.count(names[i]) && listed.at(names[i]).title.starts_with("Memo " + std::to_string(i));
                m_titlesLost += !kept;
                EXPECT_TRUE(kept) << names[i];
            }
            EXPECT_FALSE(listed.count("99999999-9999-4999-8999-999999999999"));
        }
        {
            Scenario scenario("200 memos, a damaged page");
            SCOPED_TRACE("200 memos, a damaged page");
            emptyDocuments();
            std::vector<std::string> names;
            for (int i = 0; i < 200; ++i)
                names.push_back(makeMemo());
            fileWithTitles(names);
            std::string bytes = foundation::readFile(databasePath()).value_or("");
            const size_t pages = bytes.size() / 4096;
            ASSERT_GT(pages, 12u);
            bytes.replace(pages / 2 * 4096, 4096, std::string(4096, 'x'));
            ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), bytes));
            EXPECT_TRUE(runAndQuit());
            countLost("damaged page", names);
            const auto listed = memos();
            int kept = 0;
            for (size_t i = 0; i < names.size(); ++i)
                kept += listed.count(names[i]) && listed.at(names[i]).title.starts_with("Memo " + std::to_string(i) + " ")
                    && listed.at(names[i]).location == (i % 3 == 2 ? 2 : 1);
            // Only the rows of the damaged page lose their titles.
            EXPECT_GE(kept, 175);
            m_titlesLost += 200 - kept;
            EXPECT_EQ(entriesStartingWith(documentsPath(), "parlivodb.sql.unusable-").size(), 1u);
        }
        {
            Scenario scenario("another program holds the database for 5 s at start-up");
            SCOPED_TRACE("another program holds the database for 5 s at start-up");
            emptyDocuments();
            const std::string name = makeMemo();
            ASSERT_TRUE(foundation::copyItem(templatePath(), databasePath()));
            run(databasePath(), "INSERT INTO recordings (title, audioFileName, location, createdDate) VALUES ('', '" + name + "', 0, 1)");
            sqlite3* other = nullptr;
            ASSERT_EQ(sqlite3_open(databasePath().c_str(), &other), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
            std::thread holder([other] {
                std::this_thread::sleep_for(std::chrono::seconds(5));
                sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
            });
            const size_t logged = logText().size();
            EXPECT_TRUE(runAndQuit());
            holder.join();
            sqlite3_close(other);
            // Waited for, then filed: the lists had it.
            countLost("lock at start-up", { name });
            EXPECT_EQ(logText().find("in use by another program", logged), std::string::npos);
        }
        {
            Scenario scenario("a documents folder that cannot be written");
            SCOPED_TRACE("a documents folder that cannot be written");
            emptyDocuments();
            std::vector<std::string> names { makeMemo(), makeMemo() };
            fileWithTitles(names);
            testsupport::makeReadOnly(documentsPath());
            const std::string before = foundation::readFile(databasePath()).value_or("");
            const size_t logged = logText().size();
            EXPECT_TRUE(runAndQuit({ 0, true, {} }));
            const std::string said = logText().substr(logged);
            EXPECT_EQ(said.find("already running"), std::string::npos) << said;
            EXPECT_NE(said.find("cannot be written; the recordings are shown as they are"), std::string::npos) << said;
            EXPECT_EQ(foundation::readFile(databasePath()), before);
            testsupport::makeWritable(documentsPath());
            countLost("read-only folder", names);
        }
        {
            Scenario scenario("every start on a full disk");
            SCOPED_TRACE("every start on a full disk");
            emptyDocuments();
            const std::string name = makeMemo();
            for (int start = 0; start < 2; ++start) {
                const std::string log = rootDirectory() + "/full-" + std::to_string(start) + ".log";
                foundation::removeItem(log);
                EXPECT_TRUE(runAndQuit({ 1024, false, log }));
                EXPECT_NE(foundation::readFile(log).value_or("").find("Failed to create writable database file"), std::string::npos);
            }
            // Nothing set aside, no empty database, no copy left half made.
            EXPECT_TRUE(entriesStartingWith(documentsPath(), "parlivodb.sql.unusable-").empty());
            EXPECT_FALSE(foundation::fileExists(databasePath()));
            EXPECT_FALSE(foundation::fileExists(databasePath() + ".new"));
            EXPECT_TRUE(runAndQuit());
            countLost("full disk", { name });
        }
        {
            Scenario scenario("a bad settings file read by many processes; a line without a line break");
            SCOPED_TRACE("a bad settings file read by many processes; a line without a line break");
            const std::string settings = configPath() + "/parlivo/settings";
            ASSERT_TRUE(foundation::createDirectory(configPath() + "/parlivo"));
            ASSERT_TRUE(foundation::writeFileAtomically(settings, "# parlivo settings 1\nrecordTimer=NO\n" + std::string(20000, '?') + "\n"));
            for (int reader = 0; reader < 4; ++reader)
                EXPECT_EQ(testsupport::runParlivo("defaults read recordTimer").output, "NO\n");
            EXPECT_EQ(entriesStartingWith(configPath() + "/parlivo", "settings.corrupt-").size(), 1u);
            ASSERT_TRUE(foundation::writeFileAtomically(settings, "sampleRate=44100"));
            EXPECT_EQ(testsupport::runParlivo("defaults read sampleRate").output, "44100\n");
            foundation::removeItem(settings);
            ++m_rounds;
        }
    }
    std::printf("Fault run: %d rounds, %d memos lost, %d titles lost.\n", m_rounds, m_lost, m_titlesLost);
    RecordProperty("rounds", m_rounds);
    RecordProperty("memosLost", m_lost);
    EXPECT_EQ(m_lost, 0);
}
