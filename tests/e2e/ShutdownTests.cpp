#include "StudioTest.h"

#include "HelperMethods.h"

using namespace e2e;

namespace {

class ShutdownTest : public StudioTest {
protected:
    /// The current recording's key and file name, taken before the application ends.
    struct Held {
        int key;
        std::string audioFileName;
    };
    Held held()
    {
        auto recording = studio().currentRecording();
        return { recording->key(), recording->audioFileName() };
    }

    /// The row describes its file exactly: length and size text.
    void expectRowMatchesItsFile(const Held& recording)
    {
        auto stored = row(recording.key);
        ASSERT_TRUE(stored);
        const auto samples = samplesOf(recording.audioFileName);
        EXPECT_DOUBLE_EQ(stored->length, double(samples.size()) / 22050);
        EXPECT_EQ(stored->size, HelperMethods::formattedSize(foundation::fileSize(audioPath(recording.audioFileName)).value_or(0)));
    }
};

} // namespace

TEST_F(ShutdownTest, BeforeRecordingTheFreshRecordingGoes)
{
    launch();
    const auto ready = held();
    terminate();
    EXPECT_FALSE(row(ready.key));
    EXPECT_EQ(RecordingLibrary::sharedLibrary().database(), nullptr) << "the database is closed";
}

TEST_F(ShutdownTest, WhileTheCarouselTurnsToRecordTheRecordingGoes)
{
    launch();
    const auto requested = held();
    tap(*studio().recordButton());
    advance(0.3);
    ASSERT_EQ(studio().state(), StudioStateRecordRequested);
    terminate();
    EXPECT_FALSE(row(requested.key));
}

TEST_F(ShutdownTest, DuringTheBeepNothingWithoutSoundIsKept)
{
    launch();
    const auto beeping = held();
    tap(*studio().recordButton());
    advance(0.65);
    ASSERT_EQ(studio().state(), StudioStateRecording);
    ASSERT_FALSE(audioFileExists(beeping.audioFileName));
    terminate();
    EXPECT_FALSE(row(beeping.key));
}

TEST_F(ShutdownTest, WhileRecordingTheRecordingIsStoppedAndKept)
{
    launch();
    const auto recording = held();
    record(1.5);
    terminate();
    EXPECT_FALSE(studio().recorder()->isRunning());
    auto stored = row(recording.key);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->location, 1);
    EXPECT_EQ(stored->title, text("Untitled Recording"));
    EXPECT_EQ(samplesOf(recording.audioFileName), tone(33075));
    expectRowMatchesItsFile(recording);
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 1);
}

TEST_F(ShutdownTest, WhilePausedTheKeptRecordingHasItsLength)
{
    launch();
    const auto recording = held();
    record(1.0);
    tap(*studio().recordPauseButton());
    advance(2.0);
    terminate();
    EXPECT_EQ(row(recording.key)->location, 1);
    EXPECT_DOUBLE_EQ(row(recording.key)->length, 1.0);
    expectRowMatchesItsFile(recording);
}

TEST_F(ShutdownTest, AfterRecordingAndWhilePlayingTheRecordingIsKept)
{
    launch();
    const auto recorded = held();
    record(1.0);
    stopRecording();
    tap(*studio().smallPlayButton());
    ASSERT_TRUE(runUntilState(StudioStatePlaying));
    advance(0.3);
    ASSERT_TRUE(studio().player()->isRunning());
    terminate();
    EXPECT_FALSE(studio().player()->isRunning());
    EXPECT_EQ(row(recorded.key)->location, 1);
    expectRowMatchesItsFile(recorded);
}

TEST_F(ShutdownTest, WithTheSmallButtonsTheRecordingIsKept)
{
    launch();
    const auto recorded = held();
    record(0.5);
    stopRecording();
    terminate();
    EXPECT_EQ(row(recorded.key)->location, 1);
    expectRowMatchesItsFile(recorded);
}

TEST_F(ShutdownTest, RecordingAgainKeepsTheEarlierTakeWhenTheProgramEndsBeforeTheNewOneStarts)
{
    launch();
    const auto recorded = held();
    record(0.5);
    stopRecording();
    // Record again: the carousel turns back to the stop button, nothing recorded yet.
    tap(*studio().smallRecordButton());
    advance(0.3);
    ASSERT_EQ(studio().state(), StudioStateRecordRequested);
    terminate();
    ASSERT_TRUE(row(recorded.key)) << "the earlier take is kept";
    EXPECT_EQ(row(recorded.key)->location, 1);
    expectRowMatchesItsFile(recorded);
}

TEST_F(ShutdownTest, RightAfterASaveTheSavedRecordingStays)
{
    setSetting("saveOption", "autoSave");
    launch();
    const auto saved = held();
    record(1.0);
    stopRecording();
    tap(*studio().smallSaveButton());
    advance(0.3);
    ASSERT_EQ(studio().state(), StudioStateFinished);
    terminate();
    EXPECT_EQ(row(saved.key)->location, 1);
    EXPECT_TRUE(audioFileExists(saved.audioFileName));
    expectRowMatchesItsFile(saved);
}

TEST_F(ShutdownTest, RightAfterADeleteTheRecordingStaysInTheTrash)
{
    launch();
    const auto trashed = held();
    record(1.0);
    stopRecording();
    tap(*studio().smallDeleteButton());
    advance(0.3);
    ASSERT_EQ(studio().state(), StudioStateFinished);
    terminate();
    EXPECT_EQ(row(trashed.key)->location, 2);
    EXPECT_TRUE(audioFileExists(trashed.audioFileName));
}

TEST_F(ShutdownTest, EmptyTrashDeletesTheTrashedRecordingsAndTheirFiles)
{
    setSetting("saveOption", "autoSave");
    setSetting("emptyTrash", "Yes");
    launch();
    const auto trashed = held();
    record(0.5);
    stopRecording();
    tap(*studio().smallDeleteButton());
    waitUntilReady();
    const auto saved = held();
    record(0.5);
    stopRecording();
    tap(*studio().smallSaveButton());
    waitUntilReady();
    const auto ready = held();
    ASSERT_TRUE(audioFileExists(trashed.audioFileName));

    terminate();
    EXPECT_FALSE(row(trashed.key));
    EXPECT_FALSE(audioFileExists(trashed.audioFileName));
    EXPECT_EQ(row(saved.key)->location, 1);
    EXPECT_TRUE(audioFileExists(saved.audioFileName));
    EXPECT_FALSE(row(ready.key));
    EXPECT_EQ(rows().size(), 1u);
}
