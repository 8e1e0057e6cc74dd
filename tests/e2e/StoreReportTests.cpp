// What the library met at start-up, told once in an alert at launch: a database set aside
// (where, and how many memos came back with their details), another program's lock. The
// studio's storage prompts then name the lock, not the disk.
#include "StudioTest.h"

#include "Recording.h"
#include "RecordingLibrary.h"

#include "audio/File.h"
#include "foundation/Bundle.h"
#include "foundation/FileManager.h"

using namespace e2e;

namespace {

class StoreReportTest : public StudioTest {
protected:
    void TearDown() override
    {
        RecordingLibrary::setStartupBusyWait(8);
        StudioTest::TearDown();
    }

    void exec(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    void makeRecording(const std::string& name)
    {
        std::shared_ptr<audio::File> file;
        ASSERT_EQ(audio::File::create(audioPath(name), audio::kFileCAFType, audio::linearPCM16(22050, 1), audio::kFileFlagsEraseFile, &file), audio::noErr);
        std::vector<std::int16_t> samples(11025, 100);
        std::uint32_t n = 11025;
        ASSERT_EQ(file->writePackets(false, n * 2, nullptr, 0, &n, samples.data()), audio::noErr);
        file->close();
    }
};

constexpr const char* kFirst = "11111111-1111-4111-8111-111111111111";
constexpr const char* kSecond = "22222222-2222-4222-8222-222222222222";

} // namespace

TEST_F(StoreReportTest, ADatabaseSetAsideIsToldOnceWithWhereAndHowManyMemosCameBack)
{
    ASSERT_TRUE(foundation::createDirectory(documentsPath()));
    ASSERT_TRUE(foundation::copyItem(foundation::Bundle::main().resourcePath() + "/parlivodb.sql", documentsPath() + "/parlivodb.sql"));
    exec(std::string("INSERT INTO recordings (title, audioFileName, location, createdDate) VALUES ('Kept title', '") + kFirst + "', 1, 5)");
    // Another program's column: the file is no database this program may write.
    exec("ALTER TABLE recordings ADD COLUMN rating INTEGER");
    makeRecording(kFirst);
    makeRecording(kSecond);
    launch();

    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Library Repaired Prompt Title"));
    const std::string aside = RecordingLibrary::sharedLibrary().startupReport().asidePath;
    ASSERT_FALSE(aside.empty());
    EXPECT_NE(alert->message().find(aside), std::string::npos) << alert->message();
    EXPECT_NE(alert->message().find("2 recordings were filed again"), std::string::npos) << alert->message();
    EXPECT_NE(alert->message().find("1 of them have their titles"), std::string::npos) << alert->message();
    tap(*alert->buttons()[0]);
    advance(0.5);
    EXPECT_EQ(shownAlert(), nullptr);

    terminate();
    relaunch();
    EXPECT_EQ(shownAlert(), nullptr) << "told once";
    const auto& recordings = RecordingLibrary::sharedLibrary().recordings();
    EXPECT_EQ(std::count_if(recordings.begin(), recordings.end(), [](const auto& r) { return r->location() == 1; }), 2);
}

TEST_F(StoreReportTest, AnotherProgramsLockIsToldAndRecordSaysSoInsteadOfBlamingTheDisk)
{
    ASSERT_TRUE(foundation::createDirectory(documentsPath()));
    ASSERT_TRUE(foundation::copyItem(foundation::Bundle::main().resourcePath() + "/parlivodb.sql", documentsPath() + "/parlivodb.sql"));
    RecordingLibrary::setStartupBusyWait(0.2);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    launch();

    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Library Busy Prompt Title"));
    EXPECT_EQ(alert->message(), text("Library Busy Prompt"));
    tap(*alert->buttons()[0]);
    advance(0.5);

    tap(*studio().recordButton());
    advance(3.0);
    alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Storage Unavailable Prompt Title"));
    EXPECT_EQ(alert->message(), text("Storage Busy Prompt"));
    tap(*alert->buttons()[0]);
    advance(0.5);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}
