// Keys as a desktop user presses them, sent to the window as the host does: tabs, going back,
// moving through a list and opening a row, the list of shortcuts, and text fields keeping
// every key typed into them.

#include "UiTestSupport.h"

#include "ui/KeyboardHelpView.h"
#include "ui/NavigationController.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewController.h"
#include "ui/TextField.h"

#include <gtest/gtest.h>

using namespace ui;

namespace {

// A list of two sections whose chosen row opens a screen named after it.
class List : public TableViewController {
public:
    std::vector<std::vector<std::string>> sections { { "a", "b" }, {}, { "c" } };
    std::vector<IndexPath> chosen;

    List() { setTitle("List"); }
    int numberOfSectionsInTableView(TableView&) override { return int(sections.size()); }
    int tableViewNumberOfRowsInSection(TableView&, int section) override { return int(sections[size_t(section)].size()); }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView&, const IndexPath& ip) override
    {
        auto cell = std::make_shared<TableViewCell>(gfx::Rect(), "Row");
        cell->setText(sections[size_t(ip.section)][size_t(ip.row)]);
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(TableView&, const IndexPath& ip) override
    {
        chosen.push_back(ip);
        auto detail = std::make_shared<ViewController>();
        detail->setTitle(sections[size_t(ip.section)][size_t(ip.row)]);
        navigationController()->pushViewController(detail, false);
    }
};

// A long list: one section of many rows, or several.
class LongList : public TableViewController {
public:
    std::vector<int> rowsPerSection { 2000 };
    int numberOfSectionsInTableView(TableView&) override { return int(rowsPerSection.size()); }
    int tableViewNumberOfRowsInSection(TableView&, int section) override { return rowsPerSection[size_t(section)]; }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Row");
        if (!cell)
            cell = std::make_shared<TableViewCell>(gfx::Rect(), "Row");
        cell->setText(std::to_string(ip.section) + "/" + std::to_string(ip.row));
        return cell;
    }
};

// A screen with a text field, and a shortcut of its own ("r").
class Form : public ViewController {
public:
    std::shared_ptr<TextField> field = std::make_shared<TextField>(gfx::Rect(20, 20, 280, 31));
    int rPressed { 0 };

    Form() { setTitle("Form"); }
    void viewDidLoad() override { view()->addSubview(field); }
    bool performKeyCommand(const KeyCommand& command) override
    {
        if (command.is("r")) {
            ++rPressed;
            return true;
        }
        return ViewController::performKeyCommand(command);
    }
};

class KeyboardShortcutTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        tabs = std::make_shared<TabBarController>();
        tabs->setViewControllers({ std::make_shared<NavigationController>(list), std::make_shared<NavigationController>(form) });
        window = std::make_shared<Window>();
        window->addSubview(tabs->view());
        window->makeKeyAndVisible();
    }
    static KeyCommand character(const std::string& c, bool control = false, bool alt = false) { return { c, std::nullopt, control, alt }; }
    static KeyCommand key(Key k, bool control = false, bool alt = false) { return { "", k, control, alt }; }
    std::string shown() { return ViewController::shownTitle(*window); }

    std::shared_ptr<List> list = std::make_shared<List>();
    std::shared_ptr<Form> form = std::make_shared<Form>();
    std::shared_ptr<TabBarController> tabs;
    std::shared_ptr<Window> window;
};

} // namespace

TEST_F(KeyboardShortcutTest, ArrowsMoveThroughTheListAndEnterOpensTheRowEscapeComesBack)
{
    auto table = list->tableView();
    // Enter with nothing chosen opens nothing.
    window->sendKey(Key::Return);
    EXPECT_TRUE(list->chosen.empty());
    window->sendKey(Key::Down);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 0 }));
    window->sendKey(Key::Down);
    window->sendKey(Key::Down);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 2, 0 })) << "over the empty section";
    window->sendKey(Key::Down);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 2, 0 })) << "stays on the last row";
    window->sendKey(Key::Up);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 1 }));

    window->sendKey(Key::Return);
    ASSERT_EQ(list->chosen, (std::vector<IndexPath> { { 0, 1 } }));
    EXPECT_EQ(shown(), "b");
    window->sendKey(Key::Escape);
    advance(NavigationController::kTransitionDuration + 0.05);
    EXPECT_EQ(shown(), "List");
    // At the root there is nowhere to go back to.
    window->sendKey(Key::Escape);
    EXPECT_EQ(shown(), "List");

    // Alt+Left goes back too; Left alone does not.
    table->selectRowAtIndexPath({ 2, 0 }, false);
    window->sendKey(Key::Return);
    EXPECT_EQ(shown(), "c");
    EXPECT_FALSE(window->sendKeyCommand(key(Key::Left)));
    EXPECT_EQ(shown(), "c");
    EXPECT_TRUE(window->sendKeyCommand(key(Key::Left, false, true)));
    advance(NavigationController::kTransitionDuration + 0.05);
    EXPECT_EQ(shown(), "List");
}

TEST_F(KeyboardShortcutTest, AClickOnTheBarsLeavesTheKeysWithTheScreen)
{
    auto table = list->tableView();
    // The tab bar's button was clicked last: the list still takes the keys.
    auto& bar = *tabs->tabBar();
    const gfx::Point onTab = bar.convertPointToView(bar.rectForItemAtIndex(0).center(), nullptr);
    window->sendTouch(1, TouchPhase::Began, onTab);
    window->sendTouch(1, TouchPhase::Ended, onTab);
    advance(0.5);
    window->sendKey(Key::Down);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 0 }));
    window->sendKey(Key::Return);
    EXPECT_EQ(shown(), "a");
    // Escape reaches the pushed screen too, and goes back.
    window->sendKey(Key::Escape);
    advance(NavigationController::kTransitionDuration + 0.05);
    EXPECT_EQ(shown(), "List");
}

TEST_F(KeyboardShortcutTest, LongListsJumpAndKeepTheSelectionInView)
{
    auto longList = std::make_shared<LongList>();
    longList->setTitle("Long");
    tabs->setViewControllers({ std::make_shared<NavigationController>(longList) });
    advance(0.5);
    auto table = longList->tableView();
    window->layoutIfNeeded();
    auto inView = [&](const IndexPath& row) {
        const gfx::Rect rect = table->rectForRowAtIndexPath(row);
        return rect.minY() >= table->contentOffset().y - 0.5f && rect.maxY() <= table->contentOffset().y + table->bounds().height() + 0.5f;
    };
    auto settle = [&] {
        advance(1.0);
        window->layoutIfNeeded();
    };

    // Scrolled far by the wheel, with nothing selected: Down takes a row where the user looks.
    for (int notch = 0; notch < 230; ++notch)
        window->sendWheel(table->convertPointToView({ 160, table->contentOffset().y + 100 }, nullptr), { 0, -40 }, WheelPhase::None);
    settle();
    const auto visible = table->indexPathsForVisibleRows();
    ASSERT_FALSE(visible.empty());
    ASSERT_GT(visible.front().row, 100);
    window->sendKey(Key::Down);
    ASSERT_TRUE(table->indexPathForSelectedRow());
    EXPECT_EQ(*table->indexPathForSelectedRow(), visible.front());

    // Page Down moves the selection by a page, and shows it.
    const int before = table->indexPathForSelectedRow()->row;
    window->sendKey(Key::PageDown);
    settle();
    const int perPage = int(table->bounds().height() / table->rowHeight()) - 1;
    EXPECT_EQ(table->indexPathForSelectedRow()->row, before + perPage);
    EXPECT_TRUE(inView(*table->indexPathForSelectedRow()));

    // End: the last row, shown; Down right after (the scroll still running) stays there.
    window->sendKey(Key::End);
    window->sendKey(Key::Down);
    settle();
    EXPECT_EQ(*table->indexPathForSelectedRow(), (IndexPath { 0, 1999 }));
    EXPECT_TRUE(inView({ 0, 1999 })) << table->contentOffset().y << " of " << table->contentSize().height;
    // Up right after Home, while the long scroll runs, still ends in view.
    window->sendKey(Key::Home);
    window->sendKey(Key::Down);
    settle();
    EXPECT_EQ(*table->indexPathForSelectedRow(), (IndexPath { 0, 1 }));
    EXPECT_TRUE(inView({ 0, 1 }));
    window->sendKey(Key::PageUp);
    EXPECT_EQ(*table->indexPathForSelectedRow(), (IndexPath { 0, 0 })) << "stops at the first row";

    // Across sections, and in a table without rows the keys scroll as before.
    longList->rowsPerSection = { 3, 0, 5 };
    table->reloadData();
    window->sendKey(Key::End);
    EXPECT_EQ(*table->indexPathForSelectedRow(), (IndexPath { 2, 4 }));
    longList->rowsPerSection = {};
    table->reloadData();
    EXPECT_FALSE(table->indexPathForSelectedRow());
    window->sendKey(Key::Down);
    EXPECT_FALSE(table->indexPathForSelectedRow());
}

TEST_F(KeyboardShortcutTest, ControlAndADigitShowTheTab)
{
    EXPECT_TRUE(window->sendKeyCommand(character("2", true)));
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(shown(), "Form");
    // Without Control, or past the last tab, a digit does nothing.
    EXPECT_FALSE(window->sendKeyCommand(character("1")));
    EXPECT_FALSE(window->sendKeyCommand(character("5", true)));
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_TRUE(window->sendKeyCommand(character("1", true)));
    EXPECT_EQ(shown(), "List");
}

TEST_F(KeyboardShortcutTest, TypingInATextFieldIsNeverTakenByAShortcut)
{
    tabs->setSelectedIndex(1);
    EXPECT_TRUE(window->sendKeyCommand(character("R")));
    EXPECT_EQ(form->rPressed, 1) << "a screen's own shortcut, with Shift too";

    ASSERT_TRUE(form->field->becomeFirstResponder());
    for (const char* typed : { "R", "e", " ", "?", "1" })
        window->sendKeyCommand(character(typed));
    EXPECT_EQ(form->field->text(), "Re ?1");
    EXPECT_EQ(form->rPressed, 1);
    EXPECT_EQ(window->keyboardHelp(), nullptr);
    // Control and Alt chords do nothing while typing: no tab switch, no going back.
    EXPECT_FALSE(window->sendKeyCommand(character("1", true)));
    EXPECT_FALSE(window->sendKeyCommand(key(Key::Left, false, true)));
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(form->field->text(), "Re ?1");

    // Once typing ends the keys are shortcuts again.
    form->field->resignFirstResponder();
    window->sendKeyCommand(character("r"));
    EXPECT_EQ(form->rPressed, 2);
}

TEST_F(KeyboardShortcutTest, HelpListsTheShortcutsAndGoesAway)
{
    EXPECT_TRUE(window->sendKeyCommand(key(Key::Help)));
    ASSERT_NE(window->keyboardHelp(), nullptr);
    EXPECT_EQ(window->keyboardHelp()->superview(), window.get());
    EXPECT_EQ(window->subviews().back().get(), window->keyboardHelp()) << "over everything";
    // The screen under the list takes no shortcuts meanwhile.
    EXPECT_FALSE(window->sendKeyCommand(character("2", true)));
    EXPECT_EQ(tabs->selectedIndex(), 0);
    window->sendKey(Key::Down);
    EXPECT_EQ(list->tableView()->indexPathForSelectedRow(), std::nullopt);
    window->sendKeyCommand(character("?"));
    EXPECT_EQ(window->keyboardHelp(), nullptr);

    window->sendKeyCommand(character("?"));
    ASSERT_NE(window->keyboardHelp(), nullptr);
    window->sendKey(Key::Escape);
    EXPECT_EQ(window->keyboardHelp(), nullptr);

    window->sendKeyCommand(key(Key::Help));
    gfx::Point centre { 160, 240 };
    window->sendTouch(1, TouchPhase::Began, centre);
    window->sendTouch(1, TouchPhase::Ended, centre);
    EXPECT_EQ(window->keyboardHelp(), nullptr) << "a tap closes it";
}
