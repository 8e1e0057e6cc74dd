// The whole application with the keyboard alone: no touch at all, only the keys the host
// sends (window().sendKey and sendKeyCommand). A memo is recorded, saved with a title, opened,
// played, sought, paused, moved to the Trash and restored; the details editor, the categories
// and every alert and sheet are answered by keys. Screenshots at 2x of the focus ring on each
// kind of control: focus_ring_*.

#include "PlaybackTest.h"

#include "CategoriesTableViewController.h"
#include "CategoryEditorViewController.h"
#include "PreferencesViewController.h"

#include "ui/ActionSheet.h"
#include "ui/BarButtonView.h"
#include "ui/PickerView.h"
#include "ui/Switch.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"

using namespace e2e;

namespace {

class KeyboardOnlyTest : public PlaybackTest {
protected:
    /// Launched with the keyboard a desktop has: the system's keys, none drawn.
    void launchWithKeyboard()
    {
        launchWithLists();
        ui::Application::sharedApplication().setKeyboardKind(ui::KeyboardKind::System);
    }
    /// A character typed as the host sends it.
    void type(const std::string& text)
    {
        for (char c : text)
            window().sendKeyCommand({ std::string(1, c), std::nullopt, false, false });
    }
    void press(ui::Key key) { window().sendKey(key); }
    void control(const std::string& c) { window().sendKeyCommand({ c, std::nullopt, true, false }); }
    ui::View* focus() { return window().keyboardFocus(); }
    /// Presses Tab until target has the focus; false when it never comes.
    bool tabTo(const ui::View* target)
    {
        if (!target)
            return false;
        for (int i = 0; i < 40 && focus() != target; ++i)
            press(ui::Key::Tab);
        return focus() == target;
    }
    /// The view a bar shows for item.
    ui::View* viewOf(const std::shared_ptr<ui::BarButtonItem>& item)
    {
        ui::View* found = nullptr;
        std::function<void(ui::View&)> search = [&](ui::View& view) {
            for (const auto& subview : view.subviews()) {
                if (auto* button = dynamic_cast<ui::BarButtonView*>(subview.get()); button && button->item() == item && !button->isHidden())
                    found = button;
                search(*subview);
            }
        };
        search(window());
        return found;
    }
    ui::TabBar* tabBar() { return delegate().tabBarController()->tabBar().get(); }
    ui::PopupView* popup() { return window().frontPopup(); }
    void shoot(const std::string& kind)
    {
        ASSERT_TRUE(window().focusRingRect()) << kind;
        writeScreenshot("focus_ring_" + kind);
    }
    /// The studio's Edit item.
    std::shared_ptr<ui::BarButtonItem> editItem() { return studio().navigationItem()->rightBarButtonItem(); }
};

} // namespace

TEST_F(KeyboardOnlyTest, RecordSaveOpenPlayTrashAndRestoreWithoutATouch)
{
    device().setHasEarpiece(true);
    launchWithKeyboard();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();

    // The microphone is a stop of Tab, as R is its key.
    const auto order = window().keyboardFocusOrder();
    EXPECT_NE(std::find(order.begin(), order.end(), studio.recordButton().get()), order.end());
    EXPECT_EQ(order.back(), tabBar());

    // R records and stops.
    type("r");
    ASSERT_TRUE(runUntil([&] { return studio.recorder() && studio.recorder()->position() >= 12; }, 20));
    type("r");
    ASSERT_TRUE(runUntilState(StudioStateRecorded));

    // The studio's playback: Space plays, the arrows seek 5 s, Home goes back to the start.
    type(" ");
    ASSERT_TRUE(runUntil([&] { return studio.state() == StudioStatePlaying && studio.player() && studio.player()->isRunning(); }));
    advance(1);
    press(ui::Key::Right);
    advance(0.1);
    EXPECT_NEAR(studio.player()->position(), 6.1, 0.15);
    press(ui::Key::Left);
    advance(0.1);
    EXPECT_NEAR(studio.player()->position(), 1.2, 0.15);
    ASSERT_TRUE(tabTo(studio.playbackSlider().get()));
    shoot("slider");
    press(ui::Key::Home);
    advance(0.1);
    EXPECT_LT(studio.player()->position(), 0.15);
    ASSERT_TRUE(tabTo(studio.playStopButton().get()));
    press(ui::Key::Return);
    ASSERT_TRUE(runUntilState(StudioStateRecorded));

    // Save: Tab reaches the button; the title is typed into the field that rises.
    ASSERT_TRUE(tabTo(studio.smallSaveButton().get()));
    shoot("image_button");
    press(ui::Key::Return);
    ASSERT_TRUE(studio.titleTextField()->isFirstResponder());
    advance(0.4);
    EXPECT_EQ(focus(), studio.titleTextField().get()) << "the ring follows into the field";
    for (ui::View* stop : window().keyboardFocusOrder())
        EXPECT_FALSE(stop->isDescendantOfView(studio.carousel().get())) << "the carousel is shut while the title is entered";
    type("Lake walk");
    shoot("text_field");
    press(ui::Key::Return);
    waitUntilReady();
    EXPECT_EQ(recording->title(), "Lake walk");

    // The list's tab from the tab bar, the memo's row with the arrows, Return opens it.
    ASSERT_TRUE(tabTo(tabBar()));
    press(ui::Key::Right);
    advance(0.5);
    EXPECT_EQ(delegate().tabBarController()->selectedIndex(), 1);
    shoot("tab_bar_item");
    auto& list = *m_recordings;
    ASSERT_TRUE(tabTo(list.tableView().get()));
    press(ui::Key::Down);
    advance(0.2);
    shoot("table_row");
    press(ui::Key::Return);
    advance(0.6);
    ASSERT_TRUE(m_recordings->player());
    ASSERT_EQ(screen().currentRecording(), recording);

    // Play and pause with Space; seek with the arrows, Home and End.
    type(" ");
    advance(2);
    ASSERT_TRUE(player().isRunning());
    EXPECT_FALSE(player().paused());
    press(ui::Key::Right);
    advance(0.1);
    EXPECT_NEAR(player().position(), 7.1, 0.15);
    press(ui::Key::Home);
    advance(0.1);
    EXPECT_LT(player().position(), 0.15);
    type(" ");
    EXPECT_TRUE(player().paused());
    // The speaker by Tab and Return.
    ASSERT_TRUE(tabTo(screen().speakerButton().get()));
    shoot("button");
    const std::string speaker = screen().speakerButton()->titleForState(ui::ControlStateNormal);
    press(ui::Key::Return);
    EXPECT_NE(screen().speakerButton()->titleForState(ui::ControlStateNormal), speaker);

    // Into the Trash by the screen's Delete button, found with Tab.
    ASSERT_TRUE(tabTo(screen().deleteButton().get()));
    press(ui::Key::Return);
    advance(0.6);
    ASSERT_TRUE(row(recording->key()));
    EXPECT_EQ(row(recording->key())->location, 2);

    // The Trash's tab, its row, Restore.
    ASSERT_TRUE(tabTo(tabBar()));
    press(ui::Key::Right);
    press(ui::Key::Right);
    advance(0.5);
    EXPECT_EQ(delegate().tabBarController()->selectedIndex(), 3);
    ASSERT_TRUE(tabTo(m_trash->tableView().get()));
    press(ui::Key::Down);
    press(ui::Key::Return);
    advance(0.6);
    ASSERT_TRUE(m_trash->player());
    auto& trashScreen = *m_trash->player();
    ASSERT_TRUE(tabTo(trashScreen.restoreButton().get()));
    press(ui::Key::Return);
    advance(0.6);
    EXPECT_EQ(row(recording->key())->location, 1);
    EXPECT_EQ(row(recording->key())->title, "Lake walk");
}

TEST_F(KeyboardOnlyTest, TheEditorItsPhotoMenuAndItsPickerByKeysEscapeLeavesAsDone)
{
    launchWithKeyboard();
    auto& studio = this->studio();
    auto recording = studio.currentRecording();
    type("r");
    ASSERT_TRUE(recordUntil(2));
    type("r");
    ASSERT_TRUE(runUntilState(StudioStateRecorded));

    // Edit, in the navigation bar.
    ui::View* edit = viewOf(editItem());
    ASSERT_TRUE(edit);
    ASSERT_TRUE(tabTo(edit));
    shoot("bar_button");
    press(ui::Key::Return);
    advance(0.6);
    auto& editor = *DetailsEditorViewController::sharedDetailsEditor();
    ASSERT_EQ(editor.view()->window(), &window());
    EXPECT_FALSE(window().keyboardFocusOrder().empty());
    for (ui::View* stop : window().keyboardFocusOrder())
        EXPECT_TRUE(stop->isDescendantOfView(editor.view().get())) << "nothing behind the editor is a stop";

    ASSERT_TRUE(tabTo(viewOf(editor.markAsPlayedButton())));
    press(ui::Key::Return);
    EXPECT_EQ(recording->playCount(), 1);

    ASSERT_TRUE(tabTo(editor.titleTextField().get()));
    ASSERT_TRUE(editor.titleTextField()->isFirstResponder());
    control("a");
    type("Harbour");
    ASSERT_TRUE(tabTo(editor.categoriesPicker().get()));
    EXPECT_FALSE(editor.titleTextField()->isFirstResponder()) << "Tab left the field";
    shoot("picker");
    const std::string before = recording->category();
    press(ui::Key::Down);
    advance(1);
    EXPECT_NE(recording->category(), before);
    const std::string chosen = recording->category();

    // The photo menu: a sheet; Escape closes it and leaves the editor where it is.
    ASSERT_TRUE(tabTo(editor.recordingImageButton().get()));
    press(ui::Key::Return);
    advance(0.4);
    ASSERT_TRUE(dynamic_cast<ui::ActionSheet*>(popup()));
    press(ui::Key::Escape);
    advance(0.5);
    EXPECT_FALSE(popup());
    EXPECT_EQ(editor.view()->window(), &window());

    // Escape leaves as Done does: everything is kept; after Edit the studio's Save files it
    // at once.
    press(ui::Key::Escape);
    advance(0.6);
    EXPECT_NE(editor.view()->window(), &window());
    EXPECT_EQ(recording->title(), "Harbour");
    ASSERT_TRUE(tabTo(studio.smallSaveButton().get()));
    press(ui::Key::Return);
    waitUntilReady();
    ASSERT_TRUE(row(recording->key()));
    EXPECT_EQ(row(recording->key())->location, 1);
    EXPECT_EQ(row(recording->key())->title, "Harbour");
    EXPECT_EQ(row(recording->key())->category, chosen);
    EXPECT_EQ(row(recording->key())->playCount, 1);
}

TEST_F(KeyboardOnlyTest, CategoriesTheirEditorTheTrashSheetAndTheAlertsByKeys)
{
    launchWithKeyboard();
    auto& categories = *delegate().categories();
    control("3");
    advance(0.5);
    ASSERT_EQ(delegate().tabBarController()->selectedIndex(), 2);
    const auto definedBefore = RecordingLibrary::sharedLibrary().definedCategories();

    // Edit, then "Add New Category" and the name typed; Save by Tab.
    ASSERT_TRUE(tabTo(viewOf(categories.navigationItem()->rightBarButtonItem())));
    press(ui::Key::Return);
    advance(0.5);
    ASSERT_TRUE(categories.isEditing());
    ASSERT_TRUE(tabTo(categories.tableView().get()));
    press(ui::Key::Down);
    press(ui::Key::Down);
    EXPECT_EQ(categories.tableView()->indexPathForSelectedRow(), (ui::IndexPath { 0, 1 }));
    press(ui::Key::Return);
    advance(0.6);
    ASSERT_TRUE(categories.categoryEditor());
    auto& editor = *categories.categoryEditor();
    ASSERT_TRUE(editor.categoryTextField()->isFirstResponder());
    type("Gardening");
    ASSERT_TRUE(tabTo(viewOf(editor.saveButton())));
    press(ui::Key::Return);
    advance(0.6);
    auto defined = RecordingLibrary::sharedLibrary().definedCategories();
    ASSERT_EQ(defined.size(), definedBefore.size() + 1);
    EXPECT_NE(std::find(defined.begin(), defined.end(), "Gardening"), defined.end());

    // Escape in the editor leaves it without a change.
    ASSERT_TRUE(categories.isEditing());
    ASSERT_TRUE(tabTo(categories.tableView().get()));
    press(ui::Key::Home);
    press(ui::Key::Down);
    press(ui::Key::Return);
    advance(0.6);
    ASSERT_TRUE(editor.categoryTextField()->isFirstResponder());
    type("Nothing");
    press(ui::Key::Escape);
    advance(0.6);
    EXPECT_EQ(RecordingLibrary::sharedLibrary().definedCategories(), defined);

    // A category goes with Delete twice: the row's Delete button, then its press.
    auto indexOf = [&](const std::string& name) { return int(std::find(defined.begin(), defined.end(), name) - defined.begin()); };
    auto selectCategory = [&](const std::string& name) {
        ASSERT_TRUE(tabTo(categories.tableView().get()));
        press(ui::Key::Home);
        // The two command rows, then the categories in order.
        for (int i = 0; i < 2 + indexOf(name); ++i)
            press(ui::Key::Down);
        ASSERT_EQ(categories.tableView()->indexPathForSelectedRow(), (ui::IndexPath { 1, indexOf(name) }));
    };
    selectCategory("Gardening");
    press(ui::Key::Delete);
    advance(0.4);
    EXPECT_EQ(categories.tableView()->indexPathShowingDeleteConfirmation(), (ui::IndexPath { 1, indexOf("Gardening") }));
    press(ui::Key::Delete);
    advance(0.6);
    EXPECT_EQ(RecordingLibrary::sharedLibrary().definedCategories(), definedBefore);
    defined = definedBefore;

    // The default category cannot go: an alert says so; its OK answers Return.
    const std::string defaultCategory = setting("defaultCategory");
    ASSERT_FALSE(defaultCategory.empty());
    selectCategory(defaultCategory);
    press(ui::Key::Delete);
    advance(0.4);
    press(ui::Key::Delete);
    advance(0.4);
    ASSERT_TRUE(shownAlert());
    type("x");
    press(ui::Key::Down);
    EXPECT_TRUE(shownAlert()) << "keys other than Return, Escape, Tab and Space leave it up";
    press(ui::Key::Tab);
    shoot("alert_button");
    press(ui::Key::Return);
    advance(0.5);
    EXPECT_FALSE(shownAlert());
    EXPECT_EQ(RecordingLibrary::sharedLibrary().definedCategories(), definedBefore);

    // The Empty-Trash sheet: Escape closes it and keeps the Trash; Tab and Return empty it.
    makeFiledRecording("Old", 1.0, 2);
    control("4");
    advance(0.5);
    ASSERT_EQ(delegate().tabBarController()->selectedIndex(), 3);
    ui::View* empty = viewOf(m_trash->emptyTrashBinButton());
    ASSERT_TRUE(tabTo(empty));
    press(ui::Key::Return);
    advance(0.4);
    ASSERT_TRUE(dynamic_cast<ui::ActionSheet*>(popup()));
    press(ui::Key::Return);
    EXPECT_TRUE(popup()) << "a stray Return never empties the Trash";
    press(ui::Key::Escape);
    advance(0.5);
    EXPECT_FALSE(popup());
    EXPECT_EQ(m_trash->getCount(), 1);
    ASSERT_TRUE(tabTo(empty));
    press(ui::Key::Return);
    advance(0.4);
    auto* sheet = dynamic_cast<ui::ActionSheet*>(popup());
    ASSERT_TRUE(sheet);
    press(ui::Key::Tab);
    ASSERT_EQ(focus(), sheet->buttons()[size_t(sheet->destructiveButtonIndex())].get());
    press(ui::Key::Return);
    advance(0.5);
    EXPECT_EQ(m_trash->getCount(), 0);

    // The preferences' switches turn over with Space.
    window().sendKeyCommand({ ",", std::nullopt, true, false });
    advance(0.6);
    auto preferences = delegate().preferences();
    ASSERT_TRUE(preferences);
    ui::Switch* first = nullptr;
    for (ui::View* stop : window().keyboardFocusOrder())
        if (auto* toggle = dynamic_cast<ui::Switch*>(stop); toggle && !first)
            first = toggle;
    ASSERT_TRUE(first);
    ASSERT_TRUE(tabTo(first));
    const bool was = first->isOn();
    type(" ");
    advance(0.3);
    EXPECT_NE(first->isOn(), was);
    shoot("switch");
    ASSERT_TRUE(tabTo(viewOf(preferences->navigationItem()->rightBarButtonItem())));
    press(ui::Key::Return);
    advance(0.6);
    EXPECT_NE(preferences->view()->window(), &window());
}

TEST_F(KeyboardOnlyTest, TheLaunchAlertTakesReturnAndEscapeAndKeepsRFromTheStudio)
{
    // A run ends during an interruption that holds a second of recording.
    launchWithKeyboard();
    type("r");
    ASSERT_TRUE(recordUntil(1.0));
    const int key = studio().currentRecording()->key();
    interrupt(audio::kSessionBeginInterruption);
    terminate();

    relaunch(1.0);
    ASSERT_TRUE(shownAlert());
    const auto state = studio().state();
    type("r");
    type(" ");
    advance(0.5);
    EXPECT_EQ(studio().state(), state) << "R and Space never reach the studio behind the alert";
    ASSERT_TRUE(shownAlert());
    // Return is Yes: the recording goes on.
    press(ui::Key::Return);
    ASSERT_TRUE(runUntilState(StudioStateRecording, 3.0));
    EXPECT_EQ(studio().currentRecording()->key(), key);
    ASSERT_TRUE(recordUntil(2.0));
    interrupt(audio::kSessionBeginInterruption);
    terminate();

    // Escape is No: the studio starts a new recording and leaves that one as it is.
    relaunch(1.0);
    ASSERT_TRUE(shownAlert());
    press(ui::Key::Escape);
    advance(0.5);
    EXPECT_FALSE(shownAlert());
    EXPECT_NE(studio().state(), StudioStateRecording);
    EXPECT_NE(studio().currentRecording()->key(), key);
}
