// The Categories tab end to end: counts, the lists per category, editing mode with its command
// rows, the editor's checks, deleting, and the default-category chooser reaching the studio.

#include "RecordingsListTest.h"

#include "CategoriesTableViewController.h"
#include "CategoryEditorViewController.h"
#include "DefaultCategorySelectionTableViewController.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringFormat.h"
#include "ui/TableViewCell.h"
#include "ui/TextField.h"

#include <algorithm>

using namespace e2e;

namespace {

class CategoriesTest : public RecordingsListTest {
protected:
    /// Files a recording made by an earlier run: category, location, title.
    std::shared_ptr<Recording> file(const std::string& category, std::int32_t location, const std::string& title)
    {
        auto recording = RecordingLibrary::sharedLibrary().newRecording();
        recording->setTitle(title);
        recording->setCategory(category);
        recording->setLocation(location);
        recording->save();
        return recording;
    }

    CategoriesTableViewController& categories() { return *delegate().categories(); }
    ui::NavigationController& navigation() { return *categories().navigationController(); }
    ui::TableView& table(ui::TableViewController& controller) { return *controller.tableView(); }

    /// The texts of a section's rows as shown.
    std::vector<std::string> rowTexts(ui::TableViewController& controller, int section)
    {
        std::vector<std::string> texts;
        for (int row = 0; row < table(controller).numberOfRowsInSection(section); ++row) {
            auto shown = shownCell(controller, { section, row });
            texts.push_back(shown ? shown->text() : "(no cell)");
        }
        table(controller).setContentOffset({ 0, 0 });
        return texts;
    }
    void tapRow(ui::TableViewController& controller, ui::IndexPath indexPath)
    {
        tapAt(pointInRow(controller, indexPath, 100));
        advance(0.6);
    }
    void tapDelete(ui::TableViewController& controller, ui::IndexPath indexPath)
    {
        auto shown = shownCell(controller, indexPath);
        ASSERT_TRUE(shown);
        tapAt(pointInRow(controller, indexPath, shown->bounds().width() - 10 - ui::TableViewCell::kDeleteButtonWidth / 2));
        advance(1.0);
    }
    void tapBarButton(bool right)
    {
        auto& bar = *navigation().navigationBar();
        ui::BarButtonView* button = right ? bar.rightView() : bar.leftView();
        ASSERT_TRUE(button);
        tap(*button);
        advance(0.6);
    }
    void startEditing()
    {
        tapBarButton(true);
        ASSERT_TRUE(categories().isEditing());
    }
    void dismissAlert()
    {
        ui::AlertView* alert = shownAlert();
        ASSERT_TRUE(alert);
        tap(*alert->buttons().at(0));
        advance(0.6);
    }
    CategoryEditorViewController& editor() { return *categories().categoryEditor(); }
    /// Replaces the editor's text with what the user types.
    void typeName(const std::string& name)
    {
        editor().categoryTextField()->setText("");
        window().sendText(name);
    }
    const std::vector<std::string>& defined() { return RecordingLibrary::sharedLibrary().definedCategories(); }
    bool isDefined(const std::string& name) { return std::count(defined().begin(), defined().end(), name) == 1; }
};

// The categories in byte order: Fun, General, Lectures, Meetings, Other, Reminders, Shopping
// List, To Do.
constexpr int kFun = 0;
constexpr int kGeneral = 1;
constexpr int kMeetings = 3;
constexpr int kOther = 4;

} // namespace

TEST_F(CategoriesTest, RowsCountMyRecordingsAndOpenAListThatFollowsItsRecordings)
{
    file("Fun", 1, "Joke");
    file("Fun", 1, "Riddle");
    file("Fun", 1, "Song");
    file("Fun", 2, "Old joke");
    file("Meetings", 1, "Review");
    launch();
    showTab(kCategoriesTab);
    EXPECT_EQ(navigation().topViewController().get(), &categories());
    EXPECT_EQ(table(categories()).style(), ui::TableViewStyle::Grouped);
    ASSERT_EQ(table(categories()).numberOfSections(), 1);
    // Trashed recordings do not count; a category without recordings shows its bare name.
    EXPECT_EQ(rowTexts(categories(), 0), (std::vector<std::string> { "Fun (3)", "General", "Lectures", "Meetings (1)", "Other",
                                             "Reminders", "Shopping List", "To Do" }));
    EXPECT_EQ(shownCell(categories(), { 0, kFun })->accessoryType(), ui::TableViewCellAccessoryType::DisclosureIndicator);
    shoot("categories_browsing");

    tapRow(categories(), { 0, kFun });
    auto list = categories().recordingsTablesByCategory().at("Fun");
    ASSERT_EQ(navigation().topViewController(), list);
    EXPECT_EQ(list->title(), "Fun");
    EXPECT_EQ(list->displayedLocation(), 1);
    EXPECT_EQ(list->getCount(), 3);
    EXPECT_EQ(cellAt(*list, { 0, 0 })->categoryLabel()->text(), "") << "a category's list does not repeat it";

    // A recording given another category (as its details editor would) leaves the list by the
    // time the list shows again, and the counts follow.
    tapAt(pointInRow(*list, { 0, 0 }, 100));
    advance(1.0);
    ASSERT_EQ(navigation().topViewController(), list->player());
    auto shown = list->player()->currentRecording();
    shown->setCategory("Other");
    shown->save();
    navigation().popViewControllerAnimated(true);
    advance(1.0);
    EXPECT_EQ(list->getCount(), 2);
    EXPECT_EQ(tableOf(*list).numberOfRowsInSection(0), 2);
    EXPECT_FALSE(list->recordingIsInTable(shown.get()));
    navigation().popViewControllerAnimated(true);
    advance(1.0);
    EXPECT_EQ(shownCell(categories(), { 0, kFun })->text(), "Fun (2)");
    EXPECT_EQ(shownCell(categories(), { 0, kOther })->text(), "Other (1)");
    EXPECT_FALSE(table(categories()).indexPathForSelectedRow()) << "the row that led there is no longer chosen";
}

TEST_F(CategoriesTest, EditingModeOffersTheCommandsWithoutDeleteControls)
{
    file("General", 1, "Note");
    launch();
    showTab(kCategoriesTab);
    startEditing();
    ASSERT_EQ(table(categories()).numberOfSections(), 2);
    EXPECT_EQ(rowTexts(categories(), 0), (std::vector<std::string> { text("Choose Default Category"), text("Add New Category") }));
    for (int row = 0; row < 2; ++row) {
        auto command = shownCell(categories(), { 0, row });
        EXPECT_EQ(command->editingStyle(), ui::TableViewCellEditingStyle::None) << row;
        EXPECT_EQ(command->accessoryType(), ui::TableViewCellAccessoryType::DisclosureIndicator) << row;
    }
    ASSERT_EQ(table(categories()).numberOfRowsInSection(1), 8);
    auto general = shownCell(categories(), { 1, kGeneral });
    EXPECT_EQ(general->text(), "General (1)");
    EXPECT_TRUE(general->isEditing());
    EXPECT_EQ(general->editingStyle(), ui::TableViewCellEditingStyle::Delete);
    EXPECT_FALSE(general->hidesAccessoryWhenEditing());
    shoot("categories_editing");

    // Done brings the one section back.
    tapBarButton(true);
    EXPECT_FALSE(categories().isEditing());
    EXPECT_EQ(table(categories()).numberOfSections(), 1);
    EXPECT_EQ(shownCell(categories(), { 0, kGeneral })->text(), "General (1)");
}

TEST_F(CategoriesTest, TheEditorAddsAndRenamesAndRefusesBlankAndExistingNames)
{
    auto fun = file("Fun", 1, "Joke");
    launch();
    showTab(kCategoriesTab);
    startEditing();
    int changes = 0;
    foundation::NotificationCenter::defaultCenter().addObserver(this, PRLVNotificationCategoriesChanged, nullptr,
        [&](const foundation::Notification&) { ++changes; });

    // Add: an empty field with the "New Category" placeholder and the keyboard up.
    tapRow(categories(), { 0, 1 });
    ASSERT_EQ(navigation().topViewController(), categories().categoryEditor());
    EXPECT_EQ(editor().categoryTextField()->text(), "");
    EXPECT_EQ(editor().categoryTextField()->placeholder(), text("New Category"));
    EXPECT_TRUE(editor().categoryTextField()->isFirstResponder());
    EXPECT_EQ(editor().categoryHeaderLabel()->text(), text("Category Name") + ":");

    // Blank names, empty or of spaces only, are refused and the editor stays.
    tapBarButton(true);
    ASSERT_TRUE(shownAlert());
    EXPECT_EQ(shownAlert()->title(), "");
    EXPECT_EQ(shownAlert()->message(), text("Category Blank Prompt"));
    EXPECT_EQ(shownAlert()->numberOfButtons(), 1);
    dismissAlert();
    typeName("   ");
    tapBarButton(true);
    ASSERT_TRUE(shownAlert());
    EXPECT_EQ(shownAlert()->message(), text("Category Blank Prompt"));
    dismissAlert();

    // An existing name is refused by name, the text left as typed.
    typeName("General");
    tapBarButton(true);
    ASSERT_TRUE(shownAlert());
    EXPECT_EQ(shownAlert()->message(), foundation::formatWithString(text("Category Exists Prompt"), "General"));
    shoot("category_editor_alert");
    dismissAlert();
    EXPECT_EQ(navigation().topViewController(), categories().categoryEditor());
    EXPECT_EQ(editor().categoryTextField()->text(), "General");
    EXPECT_EQ(changes, 0);

    typeName("Podcasts");
    tapBarButton(true);
    EXPECT_EQ(navigation().topViewController().get(), &categories());
    EXPECT_FALSE(editor().categoryTextField()->isFirstResponder());
    EXPECT_TRUE(isDefined("Podcasts"));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(categories().recordingsTablesByCategory().count("Podcasts"));
    EXPECT_EQ(table(categories()).numberOfRowsInSection(1), 9);

    // Rename, to a name differing only in letter case: the recordings follow.
    tapRow(categories(), { 1, kFun });
    ASSERT_EQ(navigation().topViewController(), categories().categoryEditor());
    EXPECT_EQ(editor().categoryTextField()->text(), "Fun");
    EXPECT_EQ(editor().categoryTextField()->placeholder(), text("Category"));
    typeName("fun");
    tapBarButton(true);
    EXPECT_FALSE(isDefined("Fun"));
    EXPECT_TRUE(isDefined("fun"));
    EXPECT_EQ(row(fun->key())->category, "fun");
    EXPECT_FALSE(categories().recordingsTablesByCategory().count("Fun")) << "a gone category's list goes";
    EXPECT_EQ(categories().recordingsTablesByCategory().at("fun")->getCount(), 1);
    // Lower case sorts after upper case.
    EXPECT_EQ(shownCell(categories(), { 1, 8 })->text(), "fun (1)");

    // A rename to the same name leaves without a change; so does Cancel.
    changes = 0;
    tapRow(categories(), { 1, 8 });
    tapBarButton(true);
    EXPECT_EQ(navigation().topViewController().get(), &categories());
    EXPECT_EQ(changes, 0);
    tapRow(categories(), { 0, 1 });
    typeName("Never");
    tapBarButton(false);
    EXPECT_EQ(navigation().topViewController().get(), &categories());
    EXPECT_FALSE(isDefined("Never"));
    EXPECT_EQ(changes, 0);
    foundation::NotificationCenter::defaultCenter().removeObserver(this);
}

TEST_F(CategoriesTest, DeletingMovesRecordingsToTheDefaultAndTheDefaultIsKept)
{
    auto filed = file("Fun", 1, "Joke");
    auto trashed = file("Fun", 2, "Old joke");
    file("General", 1, "Note");
    launch();
    showTab(kCategoriesTab);
    foundation::LogCapture log;

    // Swiped away outside editing mode.
    swipeRow(categories(), { 0, kFun });
    ASSERT_EQ(table(categories()).indexPathShowingDeleteConfirmation(), (ui::IndexPath { 0, kFun }));
    tapDelete(categories(), { 0, kFun });
    EXPECT_FALSE(isDefined("Fun"));
    EXPECT_EQ(row(filed->key())->category, "General");
    EXPECT_EQ(row(trashed->key())->category, "General");
    EXPECT_EQ(rowTexts(categories(), 0).at(0), "General (2)");
    EXPECT_EQ(table(categories()).numberOfRowsInSection(0), 7);
    EXPECT_FALSE(log.containsFragment("do not match")) << "the table was told of one row fewer";

    // The default category in editing mode: refused with its alert, the row stays.
    startEditing();
    tapAt(pointInRow(categories(), { 1, 0 }, 16));
    advance(0.5);
    tapDelete(categories(), { 1, 0 });
    ASSERT_TRUE(shownAlert());
    EXPECT_EQ(shownAlert()->message(), foundation::formatWithString(text("Delete Default Category Prompt"), "General"));
    dismissAlert();
    EXPECT_TRUE(isDefined("General"));
    EXPECT_EQ(shownCell(categories(), { 1, 0 })->text(), "General (2)");
    EXPECT_FALSE(table(categories()).indexPathShowingDeleteConfirmation());
}

TEST_F(CategoriesTest, ChoosingTheDefaultMovesTheCheckMarkAndReachesTheStudiosNextRecording)
{
    setSetting("saveOption", "autoSave");
    launch();
    showTab(kCategoriesTab);
    startEditing();
    tapRow(categories(), { 0, 0 });
    auto chooser = categories().defaultCategorySelector();
    ASSERT_EQ(navigation().topViewController(), chooser);
    auto checked = [&] {
        std::vector<std::string> names;
        for (int row = 0; row < table(*chooser).numberOfRowsInSection(0); ++row)
            if (auto shown = shownCell(*chooser, { 0, row }); shown && shown->accessoryType() == ui::TableViewCellAccessoryType::Checkmark)
                names.push_back(shown->text());
        return names;
    };
    EXPECT_EQ(checked(), std::vector<std::string> { "General" });

    int posts = 0;
    foundation::NotificationCenter::defaultCenter().addObserver(this, PRLVNotificationDefualtCategoryChanged, nullptr,
        [&](const foundation::Notification& notification) {
            EXPECT_EQ(notification.object(), chooser.get());
            ++posts;
        });
    const gfx::Point meetings = pointInRow(*chooser, { 0, kMeetings }, 100);
    tapAt(meetings);
    // The check mark has moved while the row is still chosen; the selection fades after.
    EXPECT_EQ(setting("defaultCategory"), "Meetings");
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(checked(), std::vector<std::string> { "Meetings" });
    EXPECT_EQ(table(*chooser).indexPathForSelectedRow(), (ui::IndexPath { 0, kMeetings }));
    shoot("default_category_chooser");
    advance(0.6);
    EXPECT_FALSE(table(*chooser).indexPathForSelectedRow());
    tapAt(meetings);
    advance(0.6);
    EXPECT_EQ(posts, 2) << "the same row again posts again";
    EXPECT_EQ(navigation().topViewController(), chooser) << "the chooser stays";
    foundation::NotificationCenter::defaultCenter().removeObserver(this);

    showTab(kStudioTab);
    auto recording = makeRecording(0.5);
    tap(*studio().smallSaveButton());
    waitUntilReady();
    EXPECT_EQ(row(recording->key())->category, "Meetings");
    EXPECT_EQ(row(recording->key())->location, 1);
}

TEST_F(CategoriesTest, AListWhoseCategoryGoesLeavesTheStackAndTheScreen)
{
    file("Fun", 1, "Joke");
    file("Meetings", 1, "Review");
    launch();
    showTab(kCategoriesTab);

    // Renamed while its list shows: back to the categories, where the new name has its list.
    tapRow(categories(), { 0, kMeetings });
    auto meetings = categories().recordingsTablesByCategory().at("Meetings");
    ASSERT_EQ(navigation().topViewController(), meetings);
    RecordingLibrary::sharedLibrary().updateCategoryTo("Meetings", "Team");
    advance(1.0);
    EXPECT_EQ(navigation().topViewController().get(), &categories());
    EXPECT_EQ(navigation().viewControllers().size(), 1u);
    EXPECT_FALSE(categories().recordingsTablesByCategory().count("Meetings"));
    EXPECT_EQ(categories().recordingsTablesByCategory().at("Team")->getCount(), 1);

    // Removed while its playback screen shows above it: both go.
    tapRow(categories(), { 0, kFun });
    auto fun = categories().recordingsTablesByCategory().at("Fun");
    tapAt(pointInRow(*fun, { 0, 0 }, 100));
    advance(1.0);
    ASSERT_EQ(navigation().topViewController(), fun->player());
    RecordingLibrary::sharedLibrary().removeCategory("Fun");
    advance(1.0);
    EXPECT_EQ(navigation().topViewController().get(), &categories());
    EXPECT_FALSE(categories().recordingsTablesByCategory().count("Fun"));
    EXPECT_EQ(fun->getCount(), 0);
    EXPECT_EQ(shownCell(categories(), { 0, 0 })->text(), "General (1)");

    // A change that leaves the shown list's category alone keeps it.
    tapRow(categories(), { 0, 0 });
    auto general = categories().recordingsTablesByCategory().at("General");
    ASSERT_EQ(navigation().topViewController(), general);
    RecordingLibrary::sharedLibrary().addCategory("Podcasts");
    advance(1.0);
    EXPECT_EQ(navigation().topViewController(), general);
}
