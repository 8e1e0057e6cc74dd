#include "StudioTest.h"

#include "ControlPanelView.h"
#include "DefaultCategorySelectionTableViewController.h"
#include "HelperMethods.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"

using namespace e2e;

namespace {

class SaveAndDeleteTest : public StudioTest {
protected:
    /// Taps save and enters title on the on-screen keyboard, then its return key.
    void saveWithTitle(const std::string& title)
    {
        tap(*studio().smallSaveButton());
        advance(0.4);
        if (!title.empty())
            window().sendText(title);
        tapAt(returnKey());
    }
};

} // namespace

TEST_F(SaveAndDeleteTest, AutoSaveFilesTheRecordingAtOnceAndBeginsANewOne)
{
    setSetting("saveOption", "autoSave");
    launch();
    auto& studio = this->studio();
    auto recording = makeRecording(1.5);

    tap(*studio.smallSaveButton());
    EXPECT_EQ(studio.state(), StudioStateFinished);
    EXPECT_FALSE(studio.titleTextField()->isFirstResponder());
    auto saved = row(recording->key());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->location, 1);
    EXPECT_EQ(saved->title, text("Untitled Recording"));
    EXPECT_DOUBLE_EQ(saved->length, 1.5);
    EXPECT_EQ(saved->size, HelperMethods::formattedSize(foundation::fileSize(audioPath(recording->audioFileName())).value_or(0)));
    EXPECT_EQ(saved->playCount, 0);
    EXPECT_EQ(saved->category, text("General"));
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 1);

    // The symbol flips in, is tossed to the right with the save sound, and the carousel
    // turns back to the record button with a fresh recording.
    device().clearSpeakerSamples();
    advance(0.6);
    EXPECT_EQ(studio.carousel()->viewC(), studio.recordingSymbolImageView());
    waitUntilReady();
    EXPECT_FALSE(device().speakerSamples().empty()) << "the save sound";
    EXPECT_NE(studio.currentRecording(), recording);
    EXPECT_EQ(studio.currentRecording()->location(), 0);
    EXPECT_EQ(studio.promptLabel()->text(), text("PreRecord Prompt"));
    advance(1.0);
    EXPECT_EQ(studio.carousel()->viewC(), studio.multiFunctionButton());
    EXPECT_EQ(studio.carousel()->getPoppedView(), nullptr);
    // Ready for the next one, touched where the record button is again.
    tap(*studio.recordButton());
    EXPECT_EQ(studio.state(), StudioStateRecordRequested);
}

TEST_F(SaveAndDeleteTest, TheTitleEntryRisesAboveTheKeyboardAndNamesTheRecording)
{
    launch();
    auto& studio = this->studio();
    auto recording = makeRecording(1.0);
    auto& panel = *studio.normalControlPanel();
    ASSERT_TRUE(studio.carousel()->isUserInteractionEnabled());

    tap(*studio.smallSaveButton());
    EXPECT_TRUE(studio.titleTextField()->isFirstResponder());
    EXPECT_FALSE(studio.carousel()->isUserInteractionEnabled());
    EXPECT_EQ(recording->location(), 1);
    advance(0.4);
    // The panel stands on the keyboard, the field directly above it.
    const gfx::Rect field = studio.titleTextField()->convertRectToView(studio.titleTextField()->bounds(), nullptr);
    const gfx::Rect keyboard = window().keyboard().convertRectToView(window().keyboard().bounds(), nullptr);
    EXPECT_EQ(keyboard.minY(), 264);
    EXPECT_LT(field.maxY(), keyboard.minY());
    EXPECT_GT(field.minY(), keyboard.minY() - 60);
    EXPECT_EQ(panel.convertRectToView(panel.bounds(), nullptr).maxY(), keyboard.minY());
    // Nothing is written while the title is typed.
    EXPECT_EQ(row(recording->key())->location, 0);

    window().sendText("Lake memo");
    EXPECT_EQ(studio.titleTextField()->text(), "Lake memo");
    tapAt(returnKey());
    EXPECT_FALSE(studio.titleTextField()->isFirstResponder());
    advance(0.4);
    EXPECT_EQ(panel.transform().ty, 0.0f);
    EXPECT_EQ(studio.state(), StudioStateFinished);
    EXPECT_TRUE(studio.carousel()->isUserInteractionEnabled());
    EXPECT_EQ(studio.titleTextField()->text(), "");
    auto saved = row(recording->key());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->title, "Lake memo");
    EXPECT_EQ(saved->location, 1);
    EXPECT_DOUBLE_EQ(saved->length, 1.0);
    waitUntilReady();
}

TEST_F(SaveAndDeleteTest, AnEmptyTitleGivesTheNextUntitledTitle)
{
    launch();
    auto first = makeRecording(0.5);
    saveWithTitle("");
    waitUntilReady();
    auto second = makeRecording(0.5);
    saveWithTitle("");
    waitUntilReady();
    EXPECT_EQ(row(first->key())->title, text("Untitled Recording"));
    EXPECT_EQ(row(second->key())->title, text("Untitled Recording") + " 1");
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 2);
}

TEST_F(SaveAndDeleteTest, DeleteSendsTheRecordingToTheTrash)
{
    launch();
    auto& studio = this->studio();
    auto recording = makeRecording(1.0);

    tap(*studio.smallDeleteButton());
    EXPECT_EQ(studio.state(), StudioStateFinished);
    auto trashed = row(recording->key());
    ASSERT_TRUE(trashed);
    EXPECT_EQ(trashed->location, 2);
    EXPECT_EQ(trashed->title, text("Untitled Recording"));
    EXPECT_DOUBLE_EQ(trashed->length, 1.0);
    EXPECT_TRUE(audioFileExists(recording->audioFileName()));
    EXPECT_EQ(ui::Application::sharedApplication().applicationIconBadgeNumber(), 0);

    device().clearSpeakerSamples();
    waitUntilReady();
    EXPECT_FALSE(device().speakerSamples().empty()) << "the crumple sound";
    EXPECT_NE(studio.currentRecording(), recording);
    EXPECT_EQ(samplesOf(recording->audioFileName()), tone(22050));
}

TEST_F(SaveAndDeleteTest, ANewDefaultCategoryReachesTheRecordingNotYetFiled)
{
    setSetting("saveOption", "autoSave");
    launch();
    auto& studio = this->studio();
    auto recording = makeRecording(0.5);
    setSetting("defaultCategory", "Lectures");
    foundation::NotificationCenter::defaultCenter().postNotificationName(PRLVNotificationDefualtCategoryChanged, nullptr);
    EXPECT_EQ(recording->category(), "Lectures");
    tap(*studio.smallSaveButton());
    EXPECT_EQ(row(recording->key())->category, "Lectures");
}
