// The studio when storage fails: a database that takes no recording, a disk that fills while
// recording, a save that is not written, and a file at an interrupted recording's path that
// cannot be continued. The user is told, and nothing recorded is lost.
#include "StudioTest.h"

#include "FileSizeLimit.h"
#include "HelperMethods.h"

#include "foundation/FileManager.h"
#include "foundation/Log.h"

#include <fstream>

using namespace e2e;

namespace {

class StorageFailureTest : public StudioTest {
protected:
    /// Runs SQL on the documents' database through a connection of the test's own.
    void exec(const std::string& sql) const
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((documentsPath() + "/parlivodb.sql").c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    /// Taps save and enters title on the on-screen keyboard, then its return key.
    void saveWithTitle(const std::string& title)
    {
        tap(*studio().smallSaveButton());
        advance(0.4);
        if (!title.empty())
            window().sendText(title);
        tapAt(returnKey());
    }

    std::size_t audioFileCount() const
    {
        std::size_t count = 0;
        for (const auto& entry : foundation::contentsOfDirectory(documentsPath()))
            count += entry.ends_with(".caf");
        return count;
    }

    std::string bytesOf(const std::string& audioFileName) const
    {
        std::ifstream in(audioPath(audioFileName), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

} // namespace

TEST_F(StorageFailureTest, WhenNothingCanBeStoredRecordSaysSoInsteadOfPretendingToRecord)
{
    // A directory where the database belongs: no row can be made for a recording.
    ASSERT_TRUE(foundation::createDirectory(documentsPath() + "/parlivodb.sql"));
    launch();
    auto& studio = this->studio();
    ASSERT_FALSE(studio.currentRecording());

    tap(*studio.recordButton());
    advance(3.0);
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Storage Unavailable Prompt Title"));
    EXPECT_EQ(studio.state(), StudioStateReady);
    EXPECT_NE(studio.promptLabel()->text(), text("Recording Prompt"));
    EXPECT_EQ(frontView(), studio.recordButton());
    EXPECT_FALSE(studio.recorder() && studio.recorder()->isRunning());
    EXPECT_EQ(audioFileCount(), 0u);

    // The studio stays usable: each try says so again.
    tap(*alert->buttons()[0]);
    advance(0.5);
    EXPECT_EQ(shownAlert(), nullptr);
    tap(*studio.recordButton());
    advance(0.5);
    EXPECT_TRUE(shownAlert());
    EXPECT_EQ(studio.state(), StudioStateReady);
}

TEST_F(StorageFailureTest, ADiskFillingWhileRecordingStopsWithAnAlertAndFilesWhatWasWritten)
{
    launch();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    foundation::LogCapture log;
    std::string timerText;
    {
        // Room for the header and about one second of sound in any one file.
        testsupport::FileSizeLimit limit(50000);
        tap(*studio.recordButton());
        ASSERT_TRUE(runUntil([&] { return shownAlert() != nullptr; }, 6.0));
        ASSERT_TRUE(runUntilState(StudioStateRecorded, 2.0));
        timerText = studio.recordTimerLabel()->text();
        advance(2.0);
    }
    EXPECT_EQ(shownAlert()->title(), text("Recording Stopped Prompt Title"));
    EXPECT_TRUE(log.containsFragment("the disk is full"));
    EXPECT_EQ(studio.recordTimerLabel()->text(), timerText) << "the timer does not run on";
    EXPECT_EQ(studio.currentRecording(), recording);

    // Filed in My Recordings with the length of what the file holds.
    auto samples = samplesOf(recording->audioFileName());
    EXPECT_GT(samples.size(), 20000u);
    EXPECT_EQ(samples, tone(samples.size()));
    auto filed = row(recording->key());
    ASSERT_TRUE(filed);
    EXPECT_EQ(filed->location, 1);
    EXPECT_NEAR(filed->length, static_cast<double>(samples.size()) / 22050, 1e-4);

    // With room again the studio goes on as usual.
    tap(*shownAlert()->buttons()[0]);
    advance(0.5);
    tap(*studio.smallDeleteButton());
    waitUntilReady();
    record(0.5);
    stopRecording();
}

TEST_F(StorageFailureTest, AFailedSaveKeepsTheTitleAndTheRecordingAndSaysSo)
{
    setSetting("saveOption", "titleEditor");
    launch();
    auto& studio = this->studio();
    auto recording = makeRecording(1.0);
    exec("CREATE TRIGGER refuse BEFORE UPDATE ON recordings BEGIN SELECT RAISE(ABORT, 'disk full'); END");

    saveWithTitle("Shopping");
    advance(1.0);
    ui::AlertView* alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), text("Save Failed Prompt Title"));
    EXPECT_EQ(studio.state(), StudioStateRecorded) << "the screen does not go on as if saved";
    EXPECT_EQ(studio.currentRecording(), recording);
    EXPECT_EQ(recording->title(), "Shopping");
    EXPECT_EQ(recording->location(), 0);
    EXPECT_EQ(row(recording->key())->location, 0);

    // Once the database takes it again, saving with nothing typed keeps the title.
    exec("DROP TRIGGER refuse");
    tap(*alert->buttons()[0]);
    advance(0.5);
    saveWithTitle("");
    EXPECT_EQ(studio.currentRecording() == recording, false);
    auto saved = row(recording->key());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->title, "Shopping");
    EXPECT_EQ(saved->location, 1);
    EXPECT_DOUBLE_EQ(saved->length, 1.0);
    waitUntilReady();
}

TEST_F(StorageFailureTest, DoneWritesTheTitleAtOnce)
{
    setSetting("saveOption", "titleEditor");
    launch();
    auto recording = makeRecording(1.0);
    saveWithTitle("Lecture notes");
    // Before the keyboard has gone: a program ended now keeps the title.
    auto saved = row(recording->key());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->title, "Lecture notes");
    EXPECT_EQ(saved->location, 1);
    waitUntilReady();
    EXPECT_EQ(row(recording->key())->title, "Lecture notes");
}

TEST_F(StorageFailureTest, AnInterruptedRecordingOfAnotherFormatIsKeptAndANewOneStarts)
{
    launch();
    record(1.0);
    const auto old = studio().currentRecording();
    const int key = old->key();
    const std::string name = old->audioFileName();
    interrupt(audio::kSessionBeginInterruption);
    terminate();
    // The run is over: nothing of it holds the file open any more.
    ui::Application::resetSharedApplication();

    // Another program made the file stereo meanwhile.
    std::string stereo = bytesOf(name);
    const auto desc = stereo.find("desc") + 12;
    stereo[desc + 19] = 4;
    stereo[desc + 27] = 2;
    std::ofstream(audioPath(name), std::ios::binary) << stereo;

    foundation::LogCapture log;
    relaunch();
    auto fresh = studio().currentRecording();
    ASSERT_TRUE(shownAlert());
    tap(*shownAlert()->buttons()[1]);
    EXPECT_TRUE(log.containsFragment("cannot be continued"));
    EXPECT_EQ(studio().currentRecording(), fresh);
    ASSERT_TRUE(recordUntil(0.5));
    stopRecording();
    EXPECT_EQ(samplesOf(fresh->audioFileName()), tone(11025));
    EXPECT_TRUE(bytesOf(name) == stereo) << "the old file is kept as it is";
    ASSERT_TRUE(row(key));
    EXPECT_EQ(row(key)->location, 1);
}
