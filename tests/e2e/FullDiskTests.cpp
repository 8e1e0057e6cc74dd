// A disk that fills while the studio records: the memo is filed before the alert says it is in
// My Recordings, the alert says the disk is full, and when the database cannot take the row
// either the alert says so and the memo reaches the list once it can, with no Save or restart.
#include "StudioTest.h"

#include "FileSizeLimit.h"
#include "MyRecordingsViewController.h"

#include "foundation/Log.h"
#include "ui/TableView.h"

using namespace e2e;

namespace {

class FullDiskTest : public StudioTest {
protected:
    void exec(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    /// Whether My Recordings lists recording now.
    bool listed(const std::shared_ptr<Recording>& recording)
    {
        auto& list = *delegate().myRecordings();
        auto& table = *list.tableView();
        for (int section = 0; section < list.numberOfSectionsInTableView(table); ++section)
            for (int row = 0; row < list.tableViewNumberOfRowsInSection(table, section); ++row)
                if (list.recordingForIndexPath({ section, row }) == recording)
                    return true;
        return false;
    }

    /// Records until the disk (a file size limit of 50,000 bytes: about a second of sound)
    /// is full and the studio's alert is up; answers the alert's message.
    std::string recordUntilTheDiskIsFull(const std::shared_ptr<Recording>& recording, std::optional<Row>* rowAtAlert)
    {
        testsupport::FileSizeLimit full(50000);
        tap(*studio().recordButton());
        EXPECT_TRUE(runUntil([&] { return shownAlert() != nullptr; }, 6.0));
        if (!shownAlert())
            return {};
        *rowAtAlert = row(recording->key());
        return shownAlert()->message();
    }
};

} // namespace

TEST_F(FullDiskTest, TheMemoIsFiledBeforeTheAlertSaysSoAndTheAlertNamesTheFullDisk)
{
    launch();
    auto recording = studio().currentRecording();
    foundation::LogCapture log;
    std::optional<Row> rowAtAlert;
    const std::string message = recordUntilTheDiskIsFull(recording, &rowAtAlert);
    EXPECT_EQ(message, text("Recording Stopped Disk Full Prompt"));
    ASSERT_TRUE(rowAtAlert);
    EXPECT_EQ(rowAtAlert->location, 1) << "in My Recordings when the alert says it is";
    EXPECT_GT(rowAtAlert->length, 1.0);
    EXPECT_TRUE(listed(recording));
    EXPECT_TRUE(log.containsFragment("the disk is full"));
    EXPECT_FALSE(log.containsFragment("error -1000"));
}

TEST_F(FullDiskTest, ARowTheDiskRefusesTooIsSaidAndWrittenAsSoonAsItCanBe)
{
    launch();
    auto recording = studio().currentRecording();
    // The database takes no update either, as on a disk with no room for its log.
    exec("CREATE TRIGGER refuse BEFORE UPDATE ON recordings BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    std::optional<Row> rowAtAlert;
    const std::string message = recordUntilTheDiskIsFull(recording, &rowAtAlert);
    EXPECT_EQ(message, text("Recording Not Filed Disk Full Prompt")) << "the alert does not claim it is kept in My Recordings";
    ASSERT_TRUE(rowAtAlert);
    EXPECT_EQ(rowAtAlert->location, 0);
    EXPECT_FALSE(listed(recording));
    tap(*shownAlert()->buttons()[0]);
    advance(5.0);
    EXPECT_EQ(row(recording->key())->location, 0) << "tried again, still refused";

    // Room again: the memo reaches the list by itself, with the length of its file.
    exec("DROP TRIGGER refuse");
    advance(2.5);
    auto filed = row(recording->key());
    ASSERT_TRUE(filed);
    EXPECT_EQ(filed->location, 1);
    EXPECT_NEAR(filed->length, static_cast<double>(samplesOf(recording->audioFileName()).size()) / 22050, 1e-4);
    EXPECT_TRUE(listed(recording)) << "without a Save or a restart";
    EXPECT_EQ(studio().state(), StudioStateRecorded);
    EXPECT_EQ(studio().currentRecording(), recording);
}
