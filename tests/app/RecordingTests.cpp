#include "StoreFixture.h"

#include "foundation/Log.h"
#include "foundation/UserDefaults.h"

using namespace storetest;

namespace {

// PNG-signed bytes: what the store takes for a photo.
RecordingImage photo(std::uint8_t fill)
{
    std::vector<std::uint8_t> bytes { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    bytes.resize(64, fill);
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
}

std::string hex(const RecordingImage& image)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (auto byte : *image) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

class RecordingTest : public StoreTest {
protected:
    // A library holding one filed recording (key 1) with every column set, photo included.
    void startWithOneRecording()
    {
        installTemplate();
        exec("INSERT INTO recordings VALUES (1, 'Talk', '" + std::string(kUUID1)
            + "', '3 KB', 'Fun', 'notes', 12.5, 2, 1700000000.25, 1, X'" + hex(photo(7)) + "')");
        makeAudioFile(kUUID1, 3072);
        ASSERT_EQ(library().recordings().size(), 1u);
        m_recording = library().recordings()[0];
    }

    std::shared_ptr<Recording> m_recording;
};

} // namespace

TEST_F(RecordingTest, LoadReadsEveryColumnButNotThePhoto)
{
    StatementTrace trace;
    startWithOneRecording();
    const auto& r = *m_recording;
    EXPECT_EQ(r.key(), 1);
    EXPECT_EQ(r.title(), "Talk");
    EXPECT_EQ(r.audioFileName(), kUUID1);
    EXPECT_EQ(r.size(), "3 KB");
    EXPECT_EQ(r.category(), "Fun");
    EXPECT_EQ(r.comments(), "notes");
    EXPECT_EQ(r.length(), 12.5f);
    EXPECT_EQ(r.playCount(), 2);
    EXPECT_EQ(r.createdDate(), 1700000000.25);
    EXPECT_EQ(r.location(), 1);
    EXPECT_FALSE(r.isDirty());
    EXPECT_FALSE(r.isImageLoaded());
    EXPECT_EQ(trace.count("image"), 0);

    auto image = m_recording->image();
    ASSERT_TRUE(image);
    EXPECT_EQ(*image, *photo(7));
    EXPECT_EQ(trace.count("SELECT image FROM recordings WHERE pk=?"), 1);
    EXPECT_EQ(m_recording->image(), image);
    EXPECT_EQ(trace.count("SELECT image"), 1);
}

TEST_F(RecordingTest, NullColumnsReadAsEmptyZeroAndTheCurrentDefaultCategory)
{
    installTemplate();
    int key = insertRow("x", kUUID1, 1);
    exec("UPDATE recordings SET createdDate=NULL");
    foundation::UserDefaults::standardUserDefaults().setObjectForKey("Lectures", "defaultCategory");
    auto recording = recordingWithKey(key);
    ASSERT_TRUE(recording);
    EXPECT_EQ(recording->category(), "Lectures");
    EXPECT_EQ(recording->size(), "");
    EXPECT_EQ(recording->comments(), "");
    EXPECT_EQ(recording->length(), 0.0f);
    EXPECT_EQ(recording->createdDate(), 0.0);
    EXPECT_FALSE(recording->image());

    recording->setPlayCount(1);
    recording->save();
    EXPECT_EQ(query("SELECT category FROM recordings"), "Lectures");
}

TEST_F(RecordingTest, UnfiledRecordsAreNeverWrittenByTheirSave)
{
    observe(PRLVNotificationRecordingSaved);
    auto recording = library().newRecording();
    recording->setTitle("Draft");
    recording->save();
    EXPECT_TRUE(recording->isDirty());
    EXPECT_EQ(query("SELECT title FROM recordings"), "");
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 0);

    recording->setLocation(1);
    recording->save();
    EXPECT_FALSE(recording->isDirty());
    EXPECT_EQ(query("SELECT title || location FROM recordings"), "Draft1");
    ASSERT_EQ(posts(PRLVNotificationRecordingSaved), 1);
    EXPECT_EQ(allPosts()[0].second, recording.get());
    recording->save();
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 1);
}

TEST_F(RecordingTest, EqualValuesDoNotDirtyTheRecord)
{
    startWithOneRecording();
    observe(PRLVNotificationRecordingSaved);
    auto& r = *m_recording;
    r.setTitle(std::string("Talk"));
    r.setAudioFileName(kUUID1);
    r.setSize("3 KB");
    r.setCategory("Fun");
    r.setComments("notes");
    r.setLength(12.5f);
    r.setPlayCount(2);
    r.setCreatedDate(1700000000.25);
    r.setLocation(1);
    EXPECT_FALSE(r.isDirty());
    r.save();
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 0);

    r.setComments("more notes");
    EXPECT_TRUE(r.isDirty());
    r.save();
    EXPECT_EQ(query("SELECT comments FROM recordings"), "more notes");
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 1);
}

TEST_F(RecordingTest, PhotoNeverLoadedIsKeptAndPhotoSetToNoneIsCleared)
{
    startWithOneRecording();
    m_recording->setTitle("Renamed");
    m_recording->save();
    EXPECT_EQ(query("SELECT hex(image) FROM recordings"), hex(photo(7)));

    restart();
    m_recording = library().recordings()[0];
    ASSERT_FALSE(m_recording->isImageLoaded());
    m_recording->setImage(nullptr);
    EXPECT_TRUE(m_recording->isDirty());
    m_recording->save();
    EXPECT_EQ(query("SELECT image IS NULL FROM recordings"), "1");
    EXPECT_FALSE(m_recording->image());

    auto replacement = photo(9);
    m_recording->setImage(replacement);
    m_recording->save();
    EXPECT_EQ(query("SELECT hex(image) FROM recordings"), hex(replacement));
    // The very photo again is no change; an equal copy is another photo.
    m_recording->setImage(replacement);
    EXPECT_FALSE(m_recording->isDirty());
    m_recording->setImage(photo(9));
    EXPECT_TRUE(m_recording->isDirty());
}

TEST_F(RecordingTest, StoredBytesThatAreNotAPhotoReadAsNone)
{
    installTemplate();
    insertRow("a", kUUID1, 1, ", image", ", X'00112233445566778899'");
    insertRow("b", kUUID2, 1, ", image", ", X''");
    for (const auto& recording : library().recordings()) {
        EXPECT_FALSE(recording->image());
        EXPECT_TRUE(recording->isImageLoaded());
    }
}

TEST_F(RecordingTest, DeleteRemovesRowThenFileThenAnnouncesThenLeavesTheLibrary)
{
    startWithOneRecording();
    std::string file = *HelperMethods::getFullAudioFilePath(kUUID1);
    Recording* raw = m_recording.get();
    m_recording.reset(); // the library holds the last reference
    bool observed = false;
    foundation::NotificationCenter::defaultCenter().addObserver(this, PRLVNotificationRecordingDeleted, nullptr,
        [&](const foundation::Notification& n) {
            observed = true;
            EXPECT_EQ(n.object(), raw);
            EXPECT_EQ(count("recordings"), 0);
            EXPECT_FALSE(foundation::fileExists(file));
            ASSERT_EQ(library().recordings().size(), 1u);
            EXPECT_EQ(library().recordings()[0].get(), raw);
            EXPECT_EQ(raw->location(), 0);
        });
    library().recordings()[0]->deleteRecording();
    EXPECT_TRUE(observed);
    EXPECT_TRUE(library().recordings().empty());
}

TEST_F(RecordingTest, TamperedFileNameOfAFiledRowReachesNoFileOutside)
{
    installTemplate();
    std::string victim = rootDirectory() + "/victim.caf";
    ASSERT_TRUE(foundation::writeFileAtomically(victim, "not yours"));
    insertRow("t", "../victim", 1);
    insertRow("u", "/tmp/../" + rootDirectory() + "/victim", 2);
    foundation::LogCapture log;
    for (const auto& recording : std::vector(library().recordings()))
        recording->deleteRecording();
    EXPECT_EQ(count("recordings"), 0);
    EXPECT_TRUE(library().recordings().empty());
    EXPECT_TRUE(foundation::fileExists(victim));
    EXPECT_TRUE(log.containsFragment("Refusing audio file name '../victim'"));
}

TEST_F(RecordingTest, FailedWritesAreNotReportedAsDone)
{
    startWithOneRecording();
    observe(PRLVNotificationRecordingSaved);
    observe(PRLVNotificationRecordingDeleted);
    foundation::LogCapture log;
    // Another process holds the write lock.
    exec("BEGIN IMMEDIATE");

    EXPECT_FALSE(library().newRecording());
    EXPECT_TRUE(log.contains("Insert statement execution failed with error database is locked."));
    EXPECT_EQ(library().recordings().size(), 1u);

    m_recording->setPlayCount(5);
    m_recording->save();
    EXPECT_TRUE(log.contains("Update statement execution failed with error database is locked."));
    EXPECT_TRUE(m_recording->isDirty());

    m_recording->deleteRecording();
    EXPECT_TRUE(log.contains("Delete statement execution failed with error database is locked."));
    EXPECT_EQ(library().recordings().size(), 1u);
    EXPECT_EQ(m_recording->location(), 1);
    EXPECT_TRUE(HelperMethods::audioFileExists(kUUID1));

    library().addCategory("New");
    library().updateCategoryTo("Fun", "Games");
    library().removeCategory("Fun");
    EXPECT_EQ(m_recording->category(), "Fun");
    EXPECT_EQ(foundation::UserDefaults::standardUserDefaults().stringForKey("defaultCategory"), "General");
    EXPECT_EQ(library().definedCategories(), defaultCategoryNames());
    EXPECT_TRUE(allPosts().empty());

    // Once the lock is gone, the save at termination writes what was pending.
    exec("ROLLBACK");
    library().finalize();
    EXPECT_FALSE(log.containsFragment("Failed to finalize"));
    EXPECT_FALSE(log.containsFragment("failed to close"));
    EXPECT_EQ(query("SELECT playCount FROM recordings"), "5");
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 1);
}

TEST_F(RecordingTest, ReadOnlyConnectionFailsTheSaveAndThePhoto)
{
    startWithOneRecording();
    observe(PRLVNotificationRecordingSaved);
    foundation::LogCapture log;
    ASSERT_EQ(sqlite3_exec(library().database(), "PRAGMA query_only=1", nullptr, nullptr, nullptr), SQLITE_OK);
    m_recording->setImage(photo(3));
    m_recording->save();
    EXPECT_TRUE(m_recording->isDirty());
    EXPECT_TRUE(log.contains("Update statement execution failed with error attempt to write a readonly database."));
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 0);

    // Only the photo column fails: the record still counts as not saved.
    ASSERT_EQ(sqlite3_exec(library().database(), "PRAGMA query_only=0; CREATE TRIGGER no_photo BEFORE UPDATE OF image ON recordings "
                                                 "BEGIN SELECT RAISE(ABORT, 'photos are frozen'); END",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    m_recording->save();
    EXPECT_TRUE(log.contains("Image save statement execution failed with error photos are frozen."));
    EXPECT_TRUE(m_recording->isDirty());
    EXPECT_EQ(posts(PRLVNotificationRecordingSaved), 0);
}

TEST_F(RecordingTest, FinalizeSavesEverythingAndLeavesRecordsUnableToReachTheDatabase)
{
    startWithOneRecording();
    m_recording->setTitle("Last words");
    foundation::LogCapture log;
    library().finalize();
    EXPECT_EQ(library().database(), nullptr);
    EXPECT_TRUE(library().recordings().empty());
    EXPECT_EQ(query("SELECT title FROM recordings"), "Last words");
    EXPECT_TRUE(log.lines().empty());

    // A recording someone still holds fails cleanly instead of using a closed connection.
    m_recording->setTitle("Too late");
    m_recording->save();
    EXPECT_TRUE(m_recording->isDirty());
    EXPECT_EQ(query("SELECT title FROM recordings"), "Last words");
}
