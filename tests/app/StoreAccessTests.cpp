// The store when it may not write: another program's lock at start-up and on a save, a
// database or folder that cannot be written. The library says why, in its report and in the
// texts of the prompts, and writes nothing.
#include "StoreFixture.h"

#include "OtherUser.h"

#include "foundation/Log.h"

#include <fstream>

using namespace storetest;

namespace {

class StoreAccessTest : public StoreTest {
protected:
    void TearDown() override
    {
        RecordingLibrary::setStartupBusyWait(8);
        testsupport::makeWritable(foundation::documentsDirectory());
        StoreTest::TearDown();
    }

    /// Two memos with their audio, closed in order.
    void makeTwoMemos()
    {
        installTemplate();
        insertRow("First", kUUID1, 1);
        insertRow("Second", kUUID2, 2);
        closeRaw();
        makeRecordingFile(kUUID1, 22050);
        makeRecordingFile(kUUID2, 11025);
    }

    /// Every entry of the documents with its bytes.
    static std::map<std::string, std::string> documents()
    {
        std::map<std::string, std::string> entries;
        for (const auto& name : foundation::contentsOfDirectory(foundation::documentsDirectory()))
            entries[name] = foundation::readFile(foundation::documentsDirectory() + "/" + name).value_or("");
        return entries;
    }
};

std::string text(const char* key)
{
    return foundation::localizedString(key);
}

} // namespace

TEST_F(StoreAccessTest, ALockHeldLongerThanStartUpWaitsIsReportedAsBusyAndNothingIsWritten)
{
    makeTwoMemos();
    RecordingLibrary::setStartupBusyWait(0.3);
    // Another program holds the database for the whole start.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    foundation::LogCapture log;

    EXPECT_TRUE(library().recordings().empty());
    EXPECT_EQ(library().startupReport().problem, RecordingLibrary::StorageProblem::Busy);
    EXPECT_TRUE(log.containsFragment("is in use by another program (database is locked); no recordings can be shown or kept in this run."));
    // Not taken for damage, nor for a full disk.
    EXPECT_FALSE(log.containsFragment("cannot be used"));
    EXPECT_FALSE(library().newRecording());
    EXPECT_EQ(library().storageProblemText("Storage Unavailable Prompt"), text("Storage Busy Prompt"));
    EXPECT_EQ(library().storageProblemText("Save Failed Prompt"), text("Save Failed Busy Prompt"));
    EXPECT_EQ(library().storageProblemText("Recording Failed Prompt"), text("Recording Failed Prompt"));
    library().finalize();
    RecordingLibrary::resetSharedLibrary();
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // Free again: everything is there.
    EXPECT_EQ(library().recordings().size(), 2u);
    EXPECT_EQ(library().startupReport().problem, RecordingLibrary::StorageProblem::None);
}

TEST_F(StoreAccessTest, ASaveRefusedByALockSaysSoAndTheNextSaveThatGoesThroughClearsIt)
{
    auto recording = library().newRecording();
    ASSERT_TRUE(recording);
    recording->setLocation(1);
    sqlite3_busy_timeout(library().database(), 10);
    exec("BEGIN IMMEDIATE");
    recording->save();
    EXPECT_TRUE(recording->isDirty());
    EXPECT_EQ(library().lastWriteProblem(), RecordingLibrary::StorageProblem::Busy);
    EXPECT_EQ(library().storageProblemText("Save Failed Prompt"), text("Save Failed Busy Prompt"));
    exec("COMMIT");

    // A write refused for another reason keeps the prompt's own words.
    exec("CREATE TRIGGER refuse BEFORE UPDATE ON recordings BEGIN SELECT RAISE(ABORT, 'no'); END");
    recording->save();
    EXPECT_EQ(library().lastWriteProblem(), RecordingLibrary::StorageProblem::Unavailable);
    EXPECT_EQ(library().storageProblemText("Save Failed Prompt"), text("Save Failed Prompt"));
    exec("DROP TRIGGER refuse");
    recording->save();
    EXPECT_FALSE(recording->isDirty());
    EXPECT_EQ(library().lastWriteProblem(), RecordingLibrary::StorageProblem::None);
}

TEST_F(StoreAccessTest, AFolderThatCannotBeWrittenShowsItsMemosAndChangesNothing)
{
    makeTwoMemos();
    testsupport::makeReadOnly(foundation::documentsDirectory());
    const auto before = documents();
    testsupport::runWherePermissionsHold([&] {
        foundation::LogCapture log;
        ASSERT_EQ(library().recordings().size(), 2u);
        EXPECT_EQ(recordingWithKey(1)->title(), "First");
        EXPECT_EQ(recordingWithKey(2)->location(), 2);
        EXPECT_EQ(library().startupReport().problem, RecordingLibrary::StorageProblem::ReadOnly);
        EXPECT_TRUE(log.containsFragment("cannot be written; the recordings are shown as they are"));
        EXPECT_FALSE(library().newRecording());
        EXPECT_EQ(library().storageProblemText("Storage Unavailable Prompt"), text("Storage Read Only Prompt"));
        recordingWithKey(1)->setTitle("Changed");
        recordingWithKey(1)->save();
        EXPECT_EQ(library().lastWriteProblem(), RecordingLibrary::StorageProblem::ReadOnly);
        EXPECT_EQ(library().storageProblemText("Save Failed Prompt"), text("Save Failed Read Only Prompt"));
        library().finalize();
    });
    EXPECT_EQ(documents(), before);
}

TEST_F(StoreAccessTest, ADatabaseThatCannotBeWrittenInAWritableFolderIsShownAsItIs)
{
    makeTwoMemos();
    // A memo that no row names, and a row left unfiled: neither is filed while nothing can be written.
    makeRecordingFile(kUUID3, 2205);
    testsupport::makeReachable(foundation::documentsDirectory());
    ASSERT_EQ(::chmod(databasePath().c_str(), 0444), 0);
    ASSERT_EQ(::chmod(foundation::documentsDirectory().c_str(), 0777), 0);
    const std::string database = foundation::readFile(databasePath()).value_or("");
    testsupport::runWherePermissionsHold([&] {
        foundation::LogCapture log;
        EXPECT_EQ(library().recordings().size(), 2u);
        EXPECT_EQ(library().startupReport().problem, RecordingLibrary::StorageProblem::ReadOnly);
        // The default categories are shown, not stored.
        EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
        EXPECT_FALSE(log.containsFragment("Insert category"));
        EXPECT_FALSE(library().newRecording());
        EXPECT_EQ(library().lastWriteProblem(), RecordingLibrary::StorageProblem::ReadOnly);
        library().finalize();
    });
    EXPECT_EQ(foundation::readFile(databasePath()), database);
    ASSERT_EQ(::chmod(databasePath().c_str(), 0644), 0);
    EXPECT_EQ(library().recordings().size(), 3u);
}
