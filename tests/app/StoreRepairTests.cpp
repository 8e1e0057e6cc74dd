// The store meeting what crashes, full disks and other programs leave behind: databases it
// cannot use, unfiled rows whose audio is no recording, keys that do not fit, locks held by
// another connection, saves that fail half way.
#include "StoreFixture.h"

#include "FileSizeLimit.h"

#include "foundation/Log.h"
#include "foundation/StringFormat.h"

#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

using namespace storetest;

namespace {

class StoreRepairTest : public StoreTest {
protected:
    /// The files that a database set aside left in the documents directory.
    std::vector<std::string> asideDatabases()
    {
        std::vector<std::string> names;
        for (const auto& name : foundation::contentsOfDirectory(foundation::documentsDirectory())) {
            if (name.starts_with("parlivodb.sql.unusable-") && name.find("-wal") == std::string::npos
                && name.find("-shm") == std::string::npos)
                names.push_back(foundation::documentsDirectory() + "/" + name);
        }
        return names;
    }

    long long rowsIn(const std::string& path)
    {
        sqlite3* database = nullptr;
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &database, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        long long rows = -1;
        if (sqlite3_prepare_v2(database, "SELECT count(*) FROM recordings", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(database);
        return rows;
    }

    /// Every memo of the library as "title|location|length", sorted by audio file name.
    std::vector<std::string> filedAudio()
    {
        std::vector<std::pair<std::string, std::string>> rows;
        for (const auto& recording : library().recordings())
            rows.emplace_back(recording->audioFileName(),
                recording->title() + "|" + std::to_string(recording->location()) + "|" + foundation::formatNumber(recording->length(), 0, 3));
        std::sort(rows.begin(), rows.end());
        std::vector<std::string> out;
        for (const auto& row : rows)
            out.push_back(row.second);
        return out;
    }
};

} // namespace

TEST_F(StoreRepairTest, DatabaseThatCannotBeUsedIsKeptAsideAndItsMemosFiledAgain)
{
    struct Case {
        const char* name;
        std::function<void()> damage;
        const char* reason;
        // The memos as the library lists them afterwards: what a readable file still says of
        // them (the foreign columns' case), or untitled from their audio files.
        std::vector<std::string> memos { "Untitled Recording|1|1", "Untitled Recording 1|1|0.5" };
    };
    const std::vector<Case> cases = {
        { "unexpected columns",
            [this] {
                installTemplate();
                insertRow("Talk", kUUID1, 1);
                insertRow("Walk", kUUID2, 2);
                exec("ALTER TABLE recordings ADD COLUMN rating INTEGER");
                closeRaw();
            },
            "unexpected columns in the recordings table", { "Talk|1|1", "Walk|2|0.5" } },
        { "no tables",
            [this] {
                exec("CREATE TABLE other (x)");
                closeRaw();
            },
            "no recordings table" },
        { "damaged pages",
            [this] {
                // Enough rows for the table to spread over many pages; the last pages of the
                // file, leaves of the recordings table, are overwritten.
                installTemplate();
                exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 299) "
                     "INSERT INTO recordings (title, audioFileName, location) SELECT printf('%0200d', i), 'none', 1 FROM n");
                closeRaw();
                std::string bytes = foundation::readFile(databasePath()).value_or("");
                ASSERT_GT(bytes.size(), 8u * 4096);
                bytes.replace(bytes.size() - 2 * 4096, 2 * 4096, std::string(2 * 4096, 'x'));
                ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), bytes));
            },
            "damaged: database disk image is malformed" },
        { "not a database",
            [] { ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), std::string(8192, 'x'))); },
            "file is not a database" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(foundation::documentsDirectory());
        ASSERT_TRUE(foundation::createDirectory(foundation::documentsDirectory()));
        c.damage();
        const std::string original = foundation::readFile(databasePath()).value_or("");
        makeRecordingFile(kUUID1, 22050);
        makeRecordingFile(kUUID2, 11025);
        makeAudioFile(kUUID3, 100); // not a recording: stays, unfiled
        foundation::LogCapture log;

        EXPECT_EQ(filedAudio(), c.memos);
        EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
        EXPECT_TRUE(log.containsFragment(std::string("cannot be used (") + c.reason + "); kept as '"));
        EXPECT_TRUE(log.contains("Filed 2 of 3 audio files that no recording referred to."));
        EXPECT_TRUE(foundation::fileExists(foundation::documentsDirectory() + "/" + kUUID3 + ".caf"));
        auto aside = asideDatabases();
        ASSERT_EQ(aside.size(), 1u);
        // The file set aside was never written.
        EXPECT_EQ(foundation::readFile(aside[0]), original);
        // The repaired database works, and the next start finds nothing to repair.
        auto added = library().newRecording();
        ASSERT_TRUE(added);
        added->setLocation(1);
        added->save();
        restart();
        foundation::LogCapture second;
        EXPECT_EQ(library().recordings().size(), 3u);
        EXPECT_FALSE(second.containsFragment("cannot be used"));
        EXPECT_EQ(asideDatabases().size(), 1u);
        restart();
    }
}

TEST_F(StoreRepairTest, ADatabaseOfZeroBytesIsReplacedAndNotKeptAside)
{
    // What SQLite leaves when it opens a missing database: nothing to keep.
    ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), ""));
    makeRecordingFile(kUUID1, 22050);
    foundation::LogCapture log;
    EXPECT_EQ(filedAudio(), (std::vector<std::string> { "Untitled Recording|1|1" }));
    EXPECT_TRUE(asideDatabases().empty());
    EXPECT_FALSE(log.containsFragment("cannot be used"));
    EXPECT_TRUE(library().startupReport().asidePath.empty());
}

TEST_F(StoreRepairTest, AsideDatabaseKeepsEveryRowOfTheForeignTable)
{
    installTemplate();
    for (int i = 0; i < 5; ++i)
        insertRow("Memo " + std::to_string(i), kUUID1, i % 3);
    exec("ALTER TABLE recordings ADD COLUMN rating INTEGER");
    closeRaw();
    EXPECT_TRUE(library().recordings().empty());
    auto aside = asideDatabases();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(rowsIn(aside[0]), 5);
}

TEST_F(StoreRepairTest, UnfiledRowsWhoseAudioIsNoRecordingAreLeftWithTheirFiles)
{
    installTemplate();
    int good = insertRow("", kUUID1, 0);
    int empty = insertRow("", kUUID2, 0);
    int garbage = insertRow("", kUUID3, 0);
    int directory = insertRow("", "44444444-4444-4444-8444-444444444444", 0);
    makeRecordingFile(kUUID1, 22050 * 3);
    makeAudioFile(kUUID2, 0);
    ASSERT_TRUE(foundation::writeFileAtomically(foundation::documentsDirectory() + "/" + kUUID3 + ".caf", std::string(5000, '\x7f')));
    ASSERT_TRUE(foundation::createDirectory(foundation::documentsDirectory() + "/44444444-4444-4444-8444-444444444444.caf"));
    foundation::LogCapture log;

    ASSERT_EQ(library().recordings().size(), 4u);
    EXPECT_EQ(recordingWithKey(good)->location(), 1);
    EXPECT_FLOAT_EQ(recordingWithKey(good)->length(), 3.0f);
    for (int key : { empty, garbage, directory }) {
        EXPECT_EQ(recordingWithKey(key)->location(), 0) << key;
        EXPECT_TRUE(log.contains("Unfiled recording " + std::to_string(key) + " is left as it is: its audio file is not a readable recording."));
    }
    EXPECT_EQ(count("recordings", "location=0"), 3);
    EXPECT_TRUE(foundation::fileExists(foundation::documentsDirectory() + "/" + kUUID2 + ".caf"));
    EXPECT_TRUE(foundation::fileExists(foundation::documentsDirectory() + "/" + kUUID3 + ".caf"));
}

TEST_F(StoreRepairTest, RecoveryReadsTheTakenTitlesOnceAndWritesInOneTransaction)
{
    installTemplate();
    constexpr int kUnfiled = 40;
    insertRow("Untitled Recording", kUUID1, 2);
    for (int i = 0; i < kUnfiled; ++i) {
        std::string name = foundation::format("%08d-0000-4000-8000-000000000000", i);
        insertRow("", name, 0);
        makeRecordingFile(name, 2205);
    }
    closeRaw();
    StatementTrace trace;

    ASSERT_EQ(library().recordings().size(), static_cast<size_t>(kUnfiled + 1));
    EXPECT_EQ(trace.count("SELECT title FROM recordings"), 1);
    EXPECT_EQ(trace.count("BEGIN IMMEDIATE"), 1);
    EXPECT_EQ(trace.count("COMMIT"), 1);
    // The numbering is the one a save at a time gives: the base is taken by the trashed memo.
    std::set<std::string> titles;
    for (const auto& recording : library().recordings())
        titles.insert(recording->title());
    EXPECT_EQ(titles.size(), static_cast<size_t>(kUnfiled + 1));
    EXPECT_TRUE(titles.count("Untitled Recording 1"));
    EXPECT_TRUE(titles.count("Untitled Recording " + std::to_string(kUnfiled)));
    EXPECT_EQ(count("recordings", "location=1 AND length > 0.09"), kUnfiled);
}

TEST_F(StoreRepairTest, KeyBeyondThirtyTwoBitsNeitherBlocksRecordingNorLeavesRows)
{
    installTemplate();
    insertRow("Near", kUUID2, 1);
    exec("INSERT INTO recordings (pk, title, audioFileName, location, createdDate) VALUES (4294967296, 'Far', '"
        + std::string(kUUID1) + "', 1, 1)");
    closeRaw();
    for (int run = 0; run < 3; ++run) {
        auto recording = library().newRecording();
        ASSERT_TRUE(recording) << run;
        EXPECT_GT(recording->key(), 0);
        recording->setLocation(1);
        recording->save();
        restart();
    }
    // The far row, the near one and the three new ones: nothing else, and all but the far one
    // with keys that fit.
    EXPECT_EQ(count("recordings"), 5);
    EXPECT_EQ(count("recordings", "pk > 2147483647"), 1);
    EXPECT_EQ(library().recordings().size(), 4u);
}

TEST_F(StoreRepairTest, ALockHeldForAMomentIsWaitedFor)
{
    installTemplate();
    insertRow("", kUUID1, 0);
    makeRecordingFile(kUUID1, 2205);
    closeRaw();
    // Another program writes for a moment just as the library starts.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread releaser([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    foundation::LogCapture log;
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
    ASSERT_EQ(library().recordings().size(), 1u);
    EXPECT_EQ(library().recordings()[0]->location(), 1);
    releaser.join();
    sqlite3_close(other);
    EXPECT_FALSE(log.containsFragment("locked")) << log.lines().front();
}

TEST_F(StoreRepairTest, AFailedSaveGivesTheUntitledTitleBack)
{
    auto first = library().newRecording();
    auto second = library().newRecording();
    first->setLocation(1);
    second->setLocation(1);
    exec("CREATE TRIGGER refuse BEFORE UPDATE ON recordings BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    foundation::LogCapture log;
    first->save();
    EXPECT_TRUE(log.contains("Update statement execution failed with error disk full."));
    EXPECT_TRUE(first->isDirty());
    EXPECT_EQ(first->title(), "");
    exec("DROP TRIGGER refuse");
    second->save();
    first->save();
    EXPECT_EQ(second->title(), "Untitled Recording");
    EXPECT_EQ(first->title(), "Untitled Recording 1");
    EXPECT_EQ(count("recordings", "title='Untitled Recording'"), 1);
}

TEST_F(StoreRepairTest, NoOpenDatabaseIsNotReportedAsOutOfMemory)
{
    // A directory where the database belongs cannot be opened as one.
    ASSERT_TRUE(foundation::createDirectory(databasePath()));
    foundation::LogCapture log;
    EXPECT_TRUE(library().recordings().empty());
    EXPECT_FALSE(library().newRecording());
    EXPECT_FALSE(log.lines().empty());
    for (const auto& line : log.lines())
        EXPECT_EQ(line.find("out of memory"), std::string::npos) << line;
    library().finalize();
}

TEST_F(StoreRepairTest, RecoveryMendsHeadersAKilledRecorderLeftAndFilesTheirWholeLength)
{
    installTemplate();
    int openEnded = insertRow("", kUUID1, 0);
    int stale = insertRow("", kUUID2, 0);
    makeRecordingFile(kUUID1, 22050 * 2);
    makeRecordingFile(kUUID2, 22050 * 3);
    // Unknown size (the file does not even open), and a size from an earlier header update.
    auto setDataSize = [](const std::string& name, std::uint64_t size) {
        const std::string path = foundation::documentsDirectory() + "/" + name + ".caf";
        std::ifstream in(path, std::ios::binary);
        std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto at = contents.find("data");
        ASSERT_NE(at, std::string::npos);
        for (int i = 0; i < 8; ++i)
            contents[at + 4 + i] = static_cast<char>(size >> (56 - 8 * i));
        std::ofstream(path, std::ios::binary) << contents;
    };
    setDataSize(kUUID1, ~std::uint64_t(0));
    setDataSize(kUUID2, 4 + 2 * 22050);
    foundation::LogCapture log;

    EXPECT_FLOAT_EQ(recordingWithKey(openEnded)->length(), 2.0f);
    EXPECT_FLOAT_EQ(recordingWithKey(stale)->length(), 3.0f);
    EXPECT_EQ(count("recordings", "location=1"), 2);
    EXPECT_TRUE(log.containsFragment("Repaired the header of the audio file '" + std::string(kUUID1) + ".caf'"));
    EXPECT_EQ(HelperMethods::audioFileDuration(kUUID2), 3.0);
}

// Audio files that no row names, at every start: a lost database, a kill while they are
// filed, and entries at a memo's path that are no recording (or would block a reader).

TEST_F(StoreRepairTest, EveryStartFilesTheAudioFilesNoRowNamesOnce)
{
    // The database is gone (deleted, or lost with its folder's backup); three memos stay.
    for (const char* name : { kUUID1, kUUID2, kUUID3 })
        makeRecordingFile(name, 11025);
    foundation::LogCapture log;
    EXPECT_EQ(filedAudio(), (std::vector<std::string> { "Untitled Recording|1|0.5", "Untitled Recording 1|1|0.5", "Untitled Recording 2|1|0.5" }));
    EXPECT_TRUE(log.contains("Filed 3 of 3 audio files that no recording referred to."));
    restart();
    EXPECT_EQ(library().recordings().size(), 3u);
    EXPECT_EQ(count("recordings"), 3);

    // A memo whose row went (another program's doing) comes back at the next start too.
    exec("DELETE FROM recordings WHERE audioFileName='" + std::string(kUUID2) + "'");
    closeRaw();
    restart();
    EXPECT_EQ(library().recordings().size(), 3u);
    EXPECT_EQ(count("recordings", "audioFileName='" + std::string(kUUID2) + "'"), 1);
    // A row whose key does not fit still names its file: that file is no memo without a row.
    exec("UPDATE recordings SET pk=4294967296 WHERE audioFileName='" + std::string(kUUID3) + "'");
    closeRaw();
    restart();
    EXPECT_EQ(count("recordings", "audioFileName='" + std::string(kUUID3) + "'"), 1);
}

TEST_F(StoreRepairTest, AKillWhileTheyAreFiledIsRepeatedWholeAtTheNextStart)
{
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i)
        makeRecordingFile(foundation::format("%08d-0000-4000-8000-000000000000", i), 441);
    // A child files them and is killed half way, as by kill -9.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int saved = 0;
        foundation::NotificationCenter::defaultCenter().addObserver(&saved, PRLVNotificationRecordingSaved, nullptr,
            [&saved](const foundation::Notification&) {
                if (++saved == kFiles / 2)
                    ::raise(SIGKILL);
            });
        RecordingLibrary::sharedLibrary();
        _exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

    EXPECT_EQ(library().recordings().size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(count("recordings"), kFiles);
    EXPECT_EQ(query("SELECT count(DISTINCT audioFileName) FROM recordings"), std::to_string(kFiles));
    EXPECT_EQ(query("SELECT count(DISTINCT title) FROM recordings"), std::to_string(kFiles));
}

TEST_F(StoreRepairTest, OnlyRegularFilesInTheRecordersFormatAreFiledAndNothingBlocks)
{
    installTemplate();
    const std::string documents = foundation::documentsDirectory();
    const std::string pipe = "44444444-4444-4444-8444-444444444444";
    const std::string link = "55555555-5555-4555-8555-555555555555";
    const std::string stereo = "66666666-6666-4666-8666-666666666666";
    const std::string unfiledPipe = "77777777-7777-4777-8777-777777777777";
    makeRecordingFile(kUUID1, 22050);
    ASSERT_EQ(::mkfifo((documents + "/" + pipe + ".caf").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((documents + "/" + unfiledPipe + ".caf").c_str(), 0600), 0);
    // A recording outside the documents, reached by a link.
    std::shared_ptr<audio::File> file;
    ASSERT_EQ(audio::File::create(rootDirectory() + "/outside.caf", audio::kFileCAFType, audio::linearPCM16(22050, 1), audio::kFileFlagsEraseFile, &file),
        audio::noErr);
    file->close();
    ASSERT_EQ(::symlink((rootDirectory() + "/outside.caf").c_str(), (documents + "/" + link + ".caf").c_str()), 0);
    ASSERT_EQ(audio::File::create(documents + "/" + stereo + ".caf", audio::kFileCAFType, audio::linearPCM16(22050, 2), audio::kFileFlagsEraseFile, &file),
        audio::noErr);
    file->close();
    int unfiled = insertRow("", unfiledPipe, 0);
    closeRaw();
    foundation::LogCapture log;

    EXPECT_EQ(filedAudio(), (std::vector<std::string> { "Untitled Recording|1|1", "|0|0" }));
    EXPECT_EQ(recordingWithKey(unfiled)->location(), 0);
    EXPECT_TRUE(log.contains("Audio file '" + pipe + ".caf' is not a regular file; left as it is."));
    EXPECT_TRUE(log.contains("Audio file '" + link + ".caf' is not a regular file; left as it is."));
    EXPECT_TRUE(log.contains("Audio file '" + stereo + ".caf' is not a readable recording; left as it is."));
    EXPECT_TRUE(log.contains("Unfiled recording " + std::to_string(unfiled) + " is left as it is: its audio file is not a readable recording."));
    EXPECT_TRUE(log.contains("Filed 1 of 4 audio files that no recording referred to."));
}

// A run killed while it continued a recording (after an interruption) leaves the row with the
// length it had before; the next start gives it the file's.
TEST_F(StoreRepairTest, ARecordingContinuedWhenTheRunWasKilledGetsItsFilesLength)
{
    installTemplate();
    exec("PRAGMA journal_mode=WAL");
    int continued = insertRow("Continued", kUUID1, 1, ", length, size", ", 1.0, '43 KB'");
    int untouched = insertRow("Untouched", kUUID2, 1, ", length, size", ", 7.0, '43 KB'");
    makeRecordingFile(kUUID2, 22050);
    // What the killed run leaves: its log beside the database, and audio written after the
    // database was last brought up to date.
    const std::string wal = foundation::readFile(databasePath() + "-wal").value_or("");
    const std::string database = foundation::readFile(databasePath()).value_or("");
    ASSERT_FALSE(wal.empty());
    closeRaw();
    ASSERT_TRUE(foundation::writeFileAtomically(databasePath(), database));
    ASSERT_TRUE(foundation::writeFileAtomically(databasePath() + "-wal", wal));
    struct timespec past[2] = { { 1000, 0 }, { 1000, 0 } };
    ASSERT_EQ(::utimensat(AT_FDCWD, HelperMethods::getFullAudioFilePath(kUUID2)->c_str(), past, 0), 0);
    makeRecordingFile(kUUID1, 22050 * 5 + 11025);
    foundation::LogCapture log;

    EXPECT_FLOAT_EQ(recordingWithKey(continued)->length(), 5.5f);
    EXPECT_EQ(recordingWithKey(continued)->size(), HelperMethods::getAudioFileSizeFormattedString(kUUID1));
    EXPECT_EQ(query("SELECT length FROM recordings WHERE pk=" + std::to_string(continued)), "5.5");
    EXPECT_TRUE(log.contains("Recording " + std::to_string(continued) + " was filed with 1.00 s; its audio file holds 5.50 s."));
    // Only audio written since the database was last up to date is read: older files are
    // not opened at all (a start after a kill stays cheap at any number of memos).
    EXPECT_FLOAT_EQ(recordingWithKey(untouched)->length(), 7.0f);
}

TEST_F(StoreRepairTest, AStartOnAFullDiskLeavesNoEmptyDatabaseAside)
{
    makeRecordingFile(kUUID1, 2205);
    for (int start = 0; start < 3; ++start) {
        {
            // The template (and anything else) cannot be written in full.
            testsupport::FileSizeLimit full(1024);
            foundation::LogCapture log;
            EXPECT_TRUE(library().recordings().empty());
            EXPECT_TRUE(log.containsFragment("Failed to create writable database file with message '"));
            EXPECT_EQ(library().startupReport().problem, RecordingLibrary::StorageProblem::Unavailable);
            EXPECT_FALSE(library().newRecording());
            library().finalize();
            RecordingLibrary::resetSharedLibrary();
        }
        for (const auto& name : foundation::contentsOfDirectory(foundation::documentsDirectory()))
            EXPECT_TRUE(name.ends_with(".caf")) << name << " left by start " << start;
    }
    // Room again: the memo is filed.
    EXPECT_EQ(filedAudio(), (std::vector<std::string> { "Untitled Recording|1|0.1" }));
}
