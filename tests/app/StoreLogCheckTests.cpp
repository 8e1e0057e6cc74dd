// The database and its write-ahead log before anything is written: a log of another database
// (left by a copy or a restore of the folder) is never applied, the pair is set aside as it is
// on disk, and what a database set aside still holds comes back to the memos filed again.
#include "StoreFixture.h"

#include "foundation/Log.h"
#include "foundation/StringFormat.h"
#include "foundation/UUID.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/wait.h>

using namespace storetest;

namespace {

class StoreLogCheckTest : public StoreTest {
protected:
    /// A connection of its own to a database at path (made from the template when missing),
    /// in write-ahead-log mode, as the program keeps it.
    sqlite3* openDatabaseAt(const std::string& path, bool flushed = true)
    {
        if (!foundation::fileExists(path)) {
            EXPECT_TRUE(foundation::copyItem(foundation::Bundle::main().resourcePath() + "/parlivodb.sql", path));
        }
        sqlite3* database = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &database), SQLITE_OK);
        run(database, flushed ? "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL" : "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF");
        return database;
    }
    static void run(sqlite3* database, const std::string& sql)
    {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(database, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << sql << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    /// The bytes of a file; empty when missing.
    static std::string bytes(const std::string& path) { return foundation::readFile(path).value_or(""); }
    /// Writes a database and a log as a killed program leaves them.
    static void placePair(const std::string& path, const std::string& database, const std::string& log)
    {
        // Without flushing to the disk: the checks read what the files hold.
        std::ofstream(path, std::ios::binary | std::ios::trunc) << database;
        foundation::removeItem(path + "-shm");
        if (log.empty())
            foundation::removeItem(path + "-wal");
        else
            std::ofstream(path + "-wal", std::ios::binary | std::ios::trunc) << log;
    }
    /// Every memo as "title|location|comments", sorted by audio file name.
    std::vector<std::string> filedTitles()
    {
        std::vector<std::pair<std::string, std::string>> rows;
        for (const auto& recording : library().recordings())
            rows.emplace_back(recording->audioFileName(), recording->title() + "|" + std::to_string(recording->location()) + "|" + recording->comments());
        std::sort(rows.begin(), rows.end());
        std::vector<std::string> out;
        for (const auto& row : rows)
            out.push_back(row.second);
        return out;
    }
    std::vector<std::string> asideNames()
    {
        std::vector<std::string> names;
        for (const auto& name : foundation::contentsOfDirectory(foundation::documentsDirectory()))
            if (name.starts_with("parlivodb.sql.unusable-"))
                names.push_back(name);
        return names;
    }
};

} // namespace

TEST_F(StoreLogCheckTest, ALogOfAnotherDatabaseIsNeverAppliedAndThePairIsKeptAsItWas)
{
    // Another database of the same shape with one memo, its log as a copy of its folder took it.
    const std::string other = rootDirectory() + "/other.sql";
    sqlite3* otherDatabase = openDatabaseAt(other);
    run(otherDatabase, "INSERT INTO recordings (title, audioFileName, location, createdDate) VALUES ('Not yours', '99999999-9999-4999-8999-999999999999', 1, 5)");
    const std::string foreignLog = bytes(other + "-wal");
    ASSERT_FALSE(foreignLog.empty());
    sqlite3_close(otherDatabase);

    // The user's three memos, closed in order.
    const char* names[] = { kUUID1, kUUID2, kUUID3 };
    for (int i = 0; i < 3; ++i) {
        auto recording = library().newRecording();
        ASSERT_TRUE(recording);
        ASSERT_TRUE(recording->audioFileName().size() == 36);
        recording->setAudioFileName(names[i]);
        recording->setTitle("Memo " + std::to_string(i));
        recording->setComments("said " + std::to_string(i));
        recording->setLocation(i == 2 ? 2 : 1);
        recording->save();
        makeRecordingFile(names[i], 22050);
    }
    restart();
    RecordingLibrary::resetSharedLibrary();
    const std::string own = bytes(databasePath());
    ASSERT_FALSE(foundation::fileExists(databasePath() + "-wal"));
    ASSERT_TRUE(foundation::writeFileAtomically(databasePath() + "-wal", foreignLog));
    foundation::LogCapture log;

    EXPECT_EQ(filedTitles(), (std::vector<std::string> { "Memo 0|1|said 0", "Memo 1|1|said 1", "Memo 2|2|said 2" }));
    EXPECT_TRUE(log.containsFragment("(its log does not belong to it: "));
    // Set aside exactly as it was on disk: the user's file unwritten, the log beside it.
    auto aside = asideNames();
    ASSERT_EQ(aside.size(), 2u) << aside.front();
    const std::string asidePath = foundation::documentsDirectory() + "/" + aside[0];
    EXPECT_EQ(bytes(asidePath), own);
    EXPECT_EQ(bytes(asidePath + "-wal"), foreignLog);
    const auto& report = library().startupReport();
    EXPECT_EQ(report.asidePath, asidePath);
    EXPECT_EQ(report.refiled, 3);
    EXPECT_EQ(report.restored, 3);
    // The next start finds nothing to set aside.
    restart();
    EXPECT_EQ(library().recordings().size(), 3u);
    EXPECT_TRUE(library().startupReport().asidePath.empty());
    EXPECT_EQ(asideNames().size(), 2u);
}

TEST_F(StoreLogCheckTest, TheBytesOfALogTellADatabaseItWasNotWrittenAgainst)
{
    const std::string directory = rootDirectory() + "/pairs";
    ASSERT_TRUE(foundation::createDirectory(directory));
    const std::string path = directory + "/parlivodb.sql";
    auto mismatch = [&](const std::string& database, const std::string& log) {
        placePair(path, database, log);
        return RecordingLibrary::logMismatch(path, path + "-wal");
    };

    // Pages of another size.
    const std::string wide = rootDirectory() + "/wide.sql";
    sqlite3* wideDatabase = nullptr;
    ASSERT_EQ(sqlite3_open(wide.c_str(), &wideDatabase), SQLITE_OK);
    run(wideDatabase, "PRAGMA page_size=8192; PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES (1)");
    const std::string wideLog = bytes(wide + "-wal");
    sqlite3_close(wideDatabase);

    // One database over three runs, each writing page 1 (a new table) and closing in order:
    // the copy of the file from before the second run precedes the third run's log.
    const std::string lineage = rootDirectory() + "/lineage.sql";
    sqlite3* database = openDatabaseAt(lineage);
    run(database, "CREATE TABLE a(x)");
    sqlite3_close(database);
    const std::string older = bytes(lineage);
    database = openDatabaseAt(lineage);
    run(database, "CREATE TABLE b(x)");
    sqlite3_close(database);
    const std::string current = bytes(lineage);
    database = openDatabaseAt(lineage);
    run(database, "CREATE TABLE c(x)");
    const std::string pageOneLog = bytes(lineage + "-wal");
    // Grown to more pages, then a commit that leaves page 1 as it is.
    run(database, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200) INSERT INTO a SELECT randomblob(100) FROM n;"
                  "PRAGMA wal_checkpoint(TRUNCATE); UPDATE a SET x = 1 WHERE rowid = 3");
    const std::string grown = bytes(lineage);
    const std::string rowLog = bytes(lineage + "-wal");
    sqlite3_close(database);

    EXPECT_FALSE(mismatch(current, pageOneLog));
    EXPECT_FALSE(mismatch(grown, rowLog));
    auto size = mismatch(current, wideLog);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, "its pages are of 8192 bytes, the database's of 4096");
    auto counter = mismatch(older, pageOneLog);
    ASSERT_TRUE(counter);
    EXPECT_NE(counter->find("change counter"), std::string::npos) << *counter;
    auto pages = mismatch(current, rowLog);
    ASSERT_TRUE(pages);
    EXPECT_NE(pages->find("pages, the database has"), std::string::npos) << *pages;
    // Nothing that SQLite would apply: a log of no committed frame, or not a log at all.
    EXPECT_FALSE(mismatch(current, pageOneLog.substr(0, 32)));
    EXPECT_FALSE(mismatch(current, std::string(40000, 'x')));
    EXPECT_FALSE(mismatch(std::string(4096, 'x'), pageOneLog));
}

// What kills leave in ordinary use (a log of many commits, partly copied into the file while a
// reader held its place, started again after checkpoints) is always taken as the file's own.
TEST_F(StoreLogCheckTest, EveryPairAKilledRunLeavesIsTakenForItsOwn)
{
    // The log's frames are the same whether or not each commit is flushed to the disk.
    const std::string path = rootDirectory() + "/live.sql";
    sqlite3* database = openDatabaseAt(path, false);
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &reader), SQLITE_OK);
    std::mt19937 random(7);
    auto chance = [&](int percent) { return std::uniform_int_distribution<int>(0, 99)(random) < percent; };
    const std::string directory = foundation::documentsDirectory();
    const std::string copy = directory + "/parlivodb.sql";
    makeRecordingFile(kUUID1, 10);
    const std::string audio = bytes(directory + "/" + kUUID1 + ".caf");
    std::vector<std::string> names;
    bool reading = false;
    int checked = 0;
    for (int step = 0; step < 400; ++step) {
        if (names.size() < 3 || chance(40)) {
            names.push_back(foundation::makeUUIDString());
            std::ofstream(directory + "/" + names.back() + ".caf", std::ios::binary) << audio;
            run(database, "INSERT INTO recordings (title, audioFileName, location, createdDate, image) VALUES ('t', '" + names.back() + "', 1, 1, randomblob("
                    + std::to_string(std::uniform_int_distribution<int>(0, 9000)(random)) + "))");
        } else if (chance(50)) {
            run(database, "UPDATE recordings SET playCount = playCount + 1, comments = hex(randomblob(" + std::to_string(step % 300) + ")) WHERE rowid IN (SELECT rowid FROM recordings ORDER BY random() LIMIT 3)");
        } else if (chance(50) && names.size() > 3) {
            // A deleted memo's audio goes with its row.
            const std::string name = names[static_cast<size_t>(step) % names.size()];
            run(database, "DELETE FROM recordings WHERE audioFileName='" + name + "'");
            HelperMethods::deleteAudioFile(name);
            names.erase(std::find(names.begin(), names.end(), name));
        } else {
            run(database, chance(50) ? "CREATE INDEX IF NOT EXISTS byTitle ON recordings(title)" : "DROP INDEX IF EXISTS byTitle");
        }
        if (chance(10)) {
            // A reader keeps its snapshot: a checkpoint then copies only part of the log.
            if (reading)
                run(reader, "COMMIT");
            else
                run(reader, "BEGIN; SELECT count(*) FROM recordings");
            reading = !reading;
        }
        if (chance(4)) {
            // The program's next run: a connection of its own reads page 1 afresh.
            sqlite3_close(database);
            database = openDatabaseAt(path, false);
        }
        if (chance(8))
            sqlite3_wal_checkpoint_v2(database, nullptr, chance(50) ? SQLITE_CHECKPOINT_PASSIVE : SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
        if (chance(15)) {
            SCOPED_TRACE("step " + std::to_string(step));
            placePair(copy, bytes(path), bytes(path + "-wal"));
            EXPECT_FALSE(RecordingLibrary::logMismatch(copy, copy + "-wal").has_value()) << *RecordingLibrary::logMismatch(copy, copy + "-wal");
            auto check = RecordingLibrary::checkDatabaseFiles(copy);
            EXPECT_EQ(check.verdict, RecordingLibrary::FileCheck::Verdict::Usable) << check.reason;
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);
    if (reading)
        run(reader, "COMMIT");
    sqlite3_close(reader);
    sqlite3_close(database);
}

// A database with a damaged page: every memo comes back from its audio file, and those whose
// rows can still be read keep what the user gave them; a kill while they are filed again
// loses none of it.
TEST_F(StoreLogCheckTest, MemosOfADamagedDatabaseGetBackWhatItsReadableRowsSay)
{
    installTemplate();
    constexpr int kRows = 200;
    exec("INSERT INTO categories (category) VALUES ('Walks')");
    std::map<std::string, std::string> original;
    exec("BEGIN");
    for (int i = 0; i < kRows; ++i) {
        const std::string name = foundation::format("%08d-0000-4000-8000-000000000000", i);
        const std::string title = foundation::format("Memo %03d ", i) + std::string(180, 'm');
        const int location = i % 7 == 0 ? 2 : 1;
        exec("INSERT INTO recordings (title, audioFileName, location, createdDate, comments, category, playCount, image) VALUES ('" + title
            + "', '" + name + "', " + std::to_string(location) + ", " + std::to_string(1000 + i) + ", 'about " + std::to_string(i) + "', "
            + (i % 2 ? "'Walks'" : "NULL") + ", " + std::to_string(i % 4) + ", " + (i % 10 == 3 ? "x'89504e470d0a1a0a0102'" : "NULL") + ")");
        original[name] = title + "|" + std::to_string(location) + "|about " + std::to_string(i) + "|" + (i % 2 ? "Walks" : "General") + "|"
            + std::to_string(i % 4) + "|" + std::to_string(1000 + i) + "|" + (i % 10 == 3 ? "photo" : "");
        // One recording written, copies of it for the others (without a flush each).
        if (i == 0)
            makeRecordingFile(name, 441);
        else
            std::ofstream(foundation::documentsDirectory() + "/" + name + ".caf", std::ios::binary)
                << bytes(foundation::documentsDirectory() + "/00000000-0000-4000-8000-000000000000.caf");
    }
    exec("COMMIT");
    const int pages = std::stoi(query("PRAGMA page_count").value_or("0"));
    closeRaw();
    ASSERT_GT(pages, 12);
    std::string file = bytes(databasePath());
    file.replace(static_cast<size_t>(pages / 2) * 4096, 4096, std::string(4096, 'x'));
    ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), file));

    // The first start is killed while it files the memos again.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int saved = 0;
        foundation::NotificationCenter::defaultCenter().addObserver(&saved, PRLVNotificationRecordingSaved, nullptr, [&saved](const foundation::Notification&) {
            if (++saved == kRows / 2)
                ::raise(SIGKILL);
        });
        RecordingLibrary::sharedLibrary();
        _exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    ASSERT_EQ(asideNames().size(), 1u);
    EXPECT_EQ(bytes(foundation::documentsDirectory() + "/" + asideNames()[0]), file);
    foundation::LogCapture log;

    ASSERT_EQ(library().recordings().size(), static_cast<size_t>(kRows));
    int restored = 0;
    for (const auto& recording : library().recordings()) {
        const std::string shown = recording->title() + "|" + std::to_string(recording->location()) + "|" + recording->comments() + "|"
            + recording->category() + "|" + std::to_string(recording->playCount()) + "|" + std::to_string(static_cast<int>(recording->createdDate())) + "|"
            + (recording->image() ? "photo" : "");
        if (shown == original[recording->audioFileName()])
            ++restored;
        else
            EXPECT_TRUE(recording->title().starts_with("Untitled Recording") && recording->location() == 1) << shown;
    }
    // Only the rows of the damaged page are lost: a page holds about twenty of them.
    EXPECT_GE(restored, kRows - 25);
    EXPECT_LT(restored, kRows);
    EXPECT_EQ(library().startupReport().refiled, kRows);
    EXPECT_EQ(library().startupReport().restored, restored);
    EXPECT_EQ(library().startupReport().asidePath, foundation::documentsDirectory() + "/" + asideNames()[0]);
    EXPECT_TRUE(log.containsFragment("past 1 damaged places"));
    const auto& categories = library().definedCategories();
    EXPECT_NE(std::find(categories.begin(), categories.end(), "Walks"), categories.end());
    EXPECT_EQ(count("recordings", "location=2"), std::stoll(query("SELECT count(*) FROM recordings WHERE location=2 AND title LIKE 'Memo%'").value_or("-1")));
}

TEST_F(StoreLogCheckTest, ALogBesideADatabaseOfZeroBytesIsKeptAsideNotDeleted)
{
    // SQLite deletes such a log when it opens the database, even only to read it.
    const std::string other = rootDirectory() + "/other.sql";
    sqlite3* database = openDatabaseAt(other);
    run(database, "INSERT INTO recordings (title, audioFileName, location) VALUES ('In the log', '" + std::string(kUUID1) + "', 1)");
    const std::string log = bytes(other + "-wal");
    sqlite3_close(database);
    placePair(databasePath(), "", log);
    makeRecordingFile(kUUID1, 2205);

    EXPECT_EQ(library().recordings().size(), 1u);
    auto aside = asideNames();
    ASSERT_EQ(aside.size(), 2u);
    EXPECT_EQ(bytes(foundation::documentsDirectory() + "/" + aside[0]), "");
    EXPECT_EQ(bytes(foundation::documentsDirectory() + "/" + aside[1]), log);
}

TEST_F(StoreLogCheckTest, ADamagedFirstPageOfRowsStillLeavesTheRestReadable)
{
    // The rows' first leaf is the damaged one: the reading starts past it, from the smallest key.
    installTemplate();
    exec("BEGIN");
    for (int i = 0; i < 120; ++i)
        exec("INSERT INTO recordings (title, audioFileName, location, createdDate) VALUES ('" + std::string(300, 'a' + i % 26) + "', '"
            + foundation::format("%08d-0000-4000-8000-000000000000", i) + "', 1, 1)");
    exec("COMMIT");
    const std::string first = query("SELECT rootpage FROM sqlite_schema WHERE name='recordings'").value_or("0");
    closeRaw();
    // The root page is an interior page: its first child, the leaf of the smallest keys, is
    // the page after the schema's pages.
    std::string file = bytes(databasePath());
    const int leaf = std::stoi(first) + 2;
    file.replace(static_cast<size_t>(leaf - 1) * 4096, 4096, std::string(4096, 'x'));
    ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), file));
    for (int i = 0; i < 120; ++i)
        makeRecordingFile(foundation::format("%08d-0000-4000-8000-000000000000", i), 10);

    ASSERT_EQ(library().recordings().size(), 120u);
    EXPECT_GT(library().startupReport().restored, 90);
    EXPECT_LT(library().startupReport().restored, 120);
}
