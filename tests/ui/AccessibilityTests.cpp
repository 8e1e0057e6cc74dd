// What a screen reader is told of the screens: roles, names, values and states from each
// control's kind and caption, the reading order, what is left out (hidden, transparent, off
// the screen, covered, behind a modal), actions that do what a tap does, and the changes
// announced to the host.
#include "UiTestSupport.h"

#include "ui/AlertView.h"
#include "ui/Button.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/PickerView.h"
#include "ui/Slider.h"
#include "ui/Switch.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"
#include "ui/TableView.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewDelegate.h"
#include "ui/TextField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace ui;
using gfx::Rect;

namespace {

AccessibilityElement element(const std::shared_ptr<View>& view, int part = -1)
{
    return { view, part };
}

// A screen with one control of each kind, laid out so that the order views were added in
// differs from the reading order.
class ControlsScreen : public ViewController {
public:
    explicit ControlsScreen(std::string title) { setTitle(std::move(title)); }
    void viewDidLoad() override
    {
        auto root = view();
        slider = std::make_shared<Slider>(Rect(20, 200, 200, 20));
        slider->setValue(0.25f);
        slider->setAccessibilityName("Position");
        toggle = std::make_shared<Switch>(Rect(200, 120, 94, 27));
        toggle->setOn(true);
        field = std::make_shared<TextField>(Rect(20, 160, 280, 26));
        field->setPlaceholder("<title>");
        field->setText("Lecture");
        label = std::make_shared<Label>(Rect(20, 120, 170, 20));
        label->setText("Sound effects");
        play = std::make_shared<Button>(Rect(20, 20, 60, 60));
        play->setAccessibilityName("Play");
        save = std::make_shared<Button>(Rect(100, 20, 100, 60));
        save->setTitleForState("Save", ControlStateNormal);
        save->setEnabled(false);
        auto empty = std::make_shared<Label>(Rect(20, 90, 100, 20));
        auto decoration = std::make_shared<ImageView>(Rect(220, 20, 60, 60));
        auto group = std::make_shared<View>(Rect(0, 0, 320, 100));
        group->addSubview(save);
        group->addSubview(play);
        group->addSubview(decoration);
        for (const auto& view : std::initializer_list<std::shared_ptr<View>> { slider, toggle, field, label, group, empty })
            root->addSubview(view);
    }
    std::shared_ptr<Slider> slider;
    std::shared_ptr<Switch> toggle;
    std::shared_ptr<TextField> field;
    std::shared_ptr<Label> label;
    std::shared_ptr<Button> play;
    std::shared_ptr<Button> save;
};

// Rows of a list, recording what the table tells its delegate.
class Rows : public TableViewDataSource, public TableViewDelegate {
public:
    std::vector<std::string> names { "Lecture", "Shopping", "Ideas" };
    std::vector<IndexPath> chosen;
    int tableViewNumberOfRowsInSection(TableView&, int) override { return int(names.size()); }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView& table, const IndexPath& ip) override
    {
        auto cell = table.dequeueReusableCellWithIdentifier("Row");
        if (!cell)
            cell = std::make_shared<TableViewCell>(Rect(), "Row");
        cell->setText(names[size_t(ip.row)]);
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(TableView&, const IndexPath& ip) override { chosen.push_back(ip); }
};

class Wheel : public PickerViewDelegate {
public:
    std::vector<std::string> names { "General", "Lectures", "Work" };
    std::vector<int> selections;
    int pickerViewNumberOfRowsInComponent(PickerView&, int) override { return int(names.size()); }
    std::string pickerViewTitleForRowForComponent(PickerView&, int row, int) override { return names[size_t(row)]; }
    void pickerViewDidSelectRowInComponent(PickerView&, int row, int) override { selections.push_back(row); }
};

class Announcements : public AccessibilityObserver {
public:
    std::vector<std::pair<AccessibilityElement, AccessibilityChange>> heard;
    void accessibilityDidChange(const AccessibilityElement& element, AccessibilityChange change) override { heard.emplace_back(element, change); }
    bool has(const std::shared_ptr<View>& view, AccessibilityChange change, int part = -1) const
    {
        return std::any_of(heard.begin(), heard.end(), [&](const auto& h) { return h.first == element(view, part) && h.second == change; });
    }
};

class AccessibilityTest : public uitest::UiTest {
protected:
    void TearDown() override
    {
        setAccessibilityObserver(nullptr);
        UiTest::TearDown();
    }
    // Two tabs of navigation stacks in a shown window, as the application builds them.
    void launch(std::vector<std::shared_ptr<ViewController>> roots)
    {
        tabs = std::make_shared<TabBarController>();
        std::vector<std::shared_ptr<ViewController>> stacks;
        for (auto& root : roots)
            stacks.push_back(std::make_shared<NavigationController>(root));
        tabs->setViewControllers(stacks);
        window = std::make_shared<Window>();
        window->addSubview(tabs->view());
        window->makeKeyAndVisible();
    }
    std::string tree() const { return accessibilityTreeDescription(element(window)); }

    std::shared_ptr<TabBarController> tabs;
    std::shared_ptr<Window> window;
};

} // namespace

TEST_F(AccessibilityTest, ScreensReadControlsByKindAndCaptionInReadingOrder)
{
    auto controls = std::make_shared<ControlsScreen>("Studio");
    launch({ controls, std::make_shared<ControlsScreen>("Recordings") });
    tabs->viewControllers()[1]->tabBarItem()->setBadgeValue(std::string("3"));
    // The empty label and the unnamed picture are not read; the plain group's buttons stand
    // in its place; the second tab's screen is not in the window.
    EXPECT_EQ(tree(),
        "window \"Studio\"\n"
        "  navigation bar \"Studio\"\n"
        "  screen \"Studio\"\n"
        "    push button \"Play\" [focusable]\n"
        "    push button \"Save\" [disabled]\n"
        "    label \"Sound effects\"\n"
        "    check box [focusable, checkable, checked]\n"
        "    text \"<title>\" = \"Lecture\" [focusable, editable]\n"
        "    slider \"Position\" (25%) [focusable]\n"
        "  page tab list\n"
        "    page tab \"Studio\" [focusable, selectable, selected]\n"
        "    page tab \"Recordings\" — 3 [focusable, selectable]\n");

    // Focus follows the first responder; a field being edited is the focused element.
    ASSERT_TRUE(controls->field->becomeFirstResponder());
    EXPECT_TRUE(accessibilityData(element(controls->field)).has(AccessibilityStateFocused));
    const auto slider = accessibilityData(element(controls->slider));
    ASSERT_TRUE(slider.range.has_value());
    EXPECT_FLOAT_EQ(slider.range->current, 0.25f);
    EXPECT_FLOAT_EQ(slider.range->step, 0.1f);
    EXPECT_TRUE(slider.can(AccessibilityAction::Increment));

    // Parents agree with children, through the plain containers left out.
    const auto parent = accessibleParent(element(controls->play));
    ASSERT_TRUE(parent.has_value());
    EXPECT_EQ(*parent, element(controls->view()));
    const auto tab = accessibleChildren(element(tabs->tabBar())).at(1);
    EXPECT_EQ(accessibleParent(tab), element(tabs->tabBar()));
    EXPECT_EQ(accessibilityFrame(tab), tabs->tabBar()->convertRectToView(tabs->tabBar()->rectForItemAtIndex(1), nullptr));
    EXPECT_FALSE(accessibleParent(element(window)).has_value());
}

TEST_F(AccessibilityTest, HiddenTransparentOffScreenCoveredAndModalBackgroundsAreLeftOut)
{
    auto controls = std::make_shared<ControlsScreen>("Studio");
    launch({ controls });
    auto readNames = [&] {
        std::vector<std::string> names;
        for (const auto& child : accessibleChildren(element(controls->view())))
            names.push_back(accessibilityData(child).name);
        return names;
    };
    controls->label->setHidden(true);
    controls->toggle->setAlpha(0);
    // Slid below the screen, as the studio's panels wait.
    controls->slider->setTransform(gfx::AffineTransform::makeTranslation(0, 400));
    // Under an opaque view covering all of it.
    auto cover = coloured(Rect(0, 150, 320, 40), gfx::Color::white());
    controls->view()->addSubview(cover);
    EXPECT_EQ(readNames(), (std::vector<std::string> { "Play", "Save" }));
    // A translucent view covers nothing.
    cover->setBackgroundColor(gfx::Color::grey(1, 0.5f));
    EXPECT_EQ(readNames(), (std::vector<std::string> { "Play", "Save", "<title>" }));

    // A modal screen: the tabs behind it are hidden and gone from the tree.
    auto editor = std::make_shared<ControlsScreen>("Editor");
    controls->presentModalViewController(editor, false);
    advance(0.5);
    auto top = accessibleChildren(element(window));
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(accessibilityData(top[0]).name, "Editor");

    // An alert: only it and its buttons, at once (before its entrance has run).
    auto alert = std::make_shared<AlertView>("Recording Failed", "The disk is full.", nullptr, "OK", std::vector<std::string> { "Retry" });
    alert->show();
    EXPECT_EQ(tree(),
        "window \"Editor\"\n"
        "  alert \"Recording Failed\" [modal]\n"
        "    label \"Recording Failed\"\n"
        "    label \"The disk is full.\"\n"
        "    push button \"OK\" [focusable]\n"
        "    push button \"Retry\" [focusable]\n");
    // On its way out it no longer hides the screen.
    alert->dismissWithClickedButtonIndex(0, true);
    top = accessibleChildren(element(window));
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(accessibilityData(top[0]).role, AccessibilityRole::Screen);
}

TEST_F(AccessibilityTest, ActionsDoWhatATapDoes)
{
    auto controls = std::make_shared<ControlsScreen>("Studio");
    launch({ controls, std::make_shared<ControlsScreen>("Recordings") });
    std::vector<std::string> events;
    auto record = [&](const char* name, Control& control, unsigned kinds) {
        control.addTargetActionForControlEvents(nullptr, [&events, name](Control&) { events.push_back(name); }, kinds);
    };
    record("play down", *controls->play, ControlEventTouchDown);
    record("play up", *controls->play, ControlEventTouchUpInside);
    record("save", *controls->save, ControlEventTouchUpInside);
    record("slider down", *controls->slider, ControlEventTouchDown);
    record("slider changed", *controls->slider, ControlEventValueChanged);
    record("slider up", *controls->slider, ControlEventTouchUpInside);
    record("switch", *controls->toggle, ControlEventValueChanged);

    EXPECT_TRUE(performAccessibilityAction(element(controls->play), AccessibilityAction::Press));
    // A dimmed button cannot be pressed; a label has nothing to do.
    EXPECT_FALSE(performAccessibilityAction(element(controls->save), AccessibilityAction::Press));
    EXPECT_FALSE(performAccessibilityAction(element(controls->label), AccessibilityAction::Press));
    EXPECT_EQ(events, (std::vector<std::string> { "play down", "play up" }));

    // A value set is a whole drag, even on a slider that reports only at release.
    events.clear();
    controls->slider->setContinuous(false);
    EXPECT_TRUE(setAccessibilityValue(element(controls->slider), 0.8f));
    EXPECT_FLOAT_EQ(controls->slider->value(), 0.8f);
    EXPECT_EQ(events, (std::vector<std::string> { "slider down", "slider changed", "slider up" }));
    EXPECT_TRUE(performAccessibilityAction(element(controls->slider), AccessibilityAction::Increment));
    EXPECT_TRUE(performAccessibilityAction(element(controls->slider), AccessibilityAction::Increment));
    EXPECT_FLOAT_EQ(controls->slider->value(), 1.0f);
    EXPECT_FALSE(setAccessibilityValue(element(controls->slider), std::numeric_limits<float>::quiet_NaN()));
    EXPECT_FALSE(setAccessibilityValue(element(controls->label), 1));

    events.clear();
    EXPECT_TRUE(performAccessibilityAction(element(controls->toggle), AccessibilityAction::Press));
    EXPECT_FALSE(controls->toggle->isOn());
    EXPECT_FALSE(accessibilityData(element(controls->toggle)).has(AccessibilityStateChecked));
    EXPECT_EQ(events, (std::vector<std::string> { "switch" }));

    // A text set begins editing and replaces the text as typed.
    int changes = 0;
    controls->field->addTargetActionForControlEvents(nullptr, [&](Control&) { ++changes; }, ControlEventEditingChanged);
    EXPECT_TRUE(setAccessibilityText(element(controls->field), "Budget meeting"));
    EXPECT_TRUE(controls->field->isEditing());
    EXPECT_EQ(controls->field->text(), "Budget meeting");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(accessibilityData(element(controls->field)).value, "Budget meeting");

    // A tab: selected and shown as a tap would.
    const auto tabParts = accessibleChildren(element(tabs->tabBar()));
    ASSERT_EQ(tabParts.size(), 2u);
    EXPECT_TRUE(performAccessibilityAction(tabParts[1], AccessibilityAction::Press));
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_TRUE(accessibilityData(tabParts[1]).has(AccessibilityStateSelected));
    EXPECT_FALSE(controls->field->isEditing());
    // A view out of the window does nothing.
    EXPECT_FALSE(performAccessibilityAction(element(controls->play), AccessibilityAction::Press));
}

TEST_F(AccessibilityTest, ListRowsAndPickerRowsAreChosenAsByATap)
{
    auto screen = std::make_shared<ViewController>();
    launch({ screen });
    Rows rows;
    auto table = std::make_shared<TableView>(screen->view()->bounds(), TableViewStyle::Plain);
    table->setDataSource(&rows);
    table->setDelegate(&rows);
    screen->view()->addSubview(table);
    table->reloadData();
    table->layoutIfNeeded();
    auto list = accessibleChildren(element(table));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(accessibilityTreeDescription(element(table)),
        "list\n"
        "  list item \"Lecture\" [focusable, selectable]\n"
        "  list item \"Shopping\" [focusable, selectable]\n"
        "  list item \"Ideas\" [focusable, selectable]\n");
    EXPECT_TRUE(performAccessibilityAction(list[1], AccessibilityAction::Press));
    EXPECT_EQ(rows.chosen, (std::vector<IndexPath> { IndexPath { 0, 1 } }));
    EXPECT_TRUE(accessibilityData(list[1]).has(AccessibilityStateSelected));
    EXPECT_FALSE(accessibilityData(list[0]).has(AccessibilityStateSelected));
    // In editing mode a tap chooses nothing, and neither does the reader.
    table->setEditing(true, false);
    EXPECT_FALSE(performAccessibilityAction(list[2], AccessibilityAction::Press));
    EXPECT_EQ(rows.chosen.size(), 1u);
    // A row is read whole from its labels, with the controls it shows as its children.
    auto cell = table->cellForRowAtIndexPath({ 0, 0 });
    ASSERT_NE(cell, nullptr);
    auto detail = std::make_shared<Label>(Rect(150, 10, 60, 20));
    detail->setText("On");
    cell->contentView().addSubview(detail);
    cell->contentView().addSubview(std::make_shared<Switch>(Rect(220, 8, 94, 27)));
    cell->setText("");
    cell->textLabel().setText("");
    EXPECT_EQ(accessibilityTreeDescription(list[0]),
        "list item \"On\" [focusable, selectable]\n"
        "  check box [focusable, checkable]\n");
    table->removeFromSuperview();

    Wheel wheel;
    auto picker = std::make_shared<PickerView>(Rect(0, 100, 320, 216));
    picker->setDelegate(&wheel);
    screen->view()->addSubview(picker);
    auto items = accessibleChildren(element(picker));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(accessibilityData(items[2]).name, "Work");
    EXPECT_TRUE(accessibilityData(items[0]).has(AccessibilityStateSelected));
    // The selected row lies under the selection bar, in the middle of the picker.
    EXPECT_FLOAT_EQ(accessibilityFrame(items[0]).midY(), picker->convertRectToView(picker->rectForComponent(0), nullptr).midY());
    EXPECT_TRUE(performAccessibilityAction(items[2], AccessibilityAction::Press));
    advance(2);
    EXPECT_EQ(wheel.selections, (std::vector<int> { 2 }));
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    EXPECT_TRUE(accessibilityData(items[2]).has(AccessibilityStateSelected));
    EXPECT_FALSE(accessibilityData(items[0]).has(AccessibilityStateSelected));
    EXPECT_FALSE(performAccessibilityAction(element(picker, 3), AccessibilityAction::Press));
}

TEST_F(AccessibilityTest, ChangesAreAnnouncedToTheObserver)
{
    auto controls = std::make_shared<ControlsScreen>("Studio");
    auto second = std::make_shared<ControlsScreen>("Details");
    launch({ controls });
    Announcements observer;
    setAccessibilityObserver(&observer);

    controls->label->setText("Timer");
    controls->slider->setValue(0.5f);
    controls->save->setEnabled(true);
    controls->toggle->setOn(false);
    controls->field->becomeFirstResponder();
    tabs->tabBar()->setSelectedItem(tabs->tabBar()->items()[0]);
    EXPECT_TRUE(observer.has(controls->label, AccessibilityChange::Name));
    EXPECT_TRUE(observer.has(controls->slider, AccessibilityChange::Value));
    EXPECT_TRUE(observer.has(controls->save, AccessibilityChange::State));
    EXPECT_TRUE(observer.has(controls->toggle, AccessibilityChange::State));
    EXPECT_TRUE(observer.has(controls->field, AccessibilityChange::Focus));
    EXPECT_TRUE(observer.has(tabs->tabBar(), AccessibilityChange::Selection));

    // A screen pushed is announced once it has appeared; what it added came with it.
    observer.heard.clear();
    static_cast<NavigationController&>(*tabs->viewControllers()[0]).pushViewController(second, true);
    EXPECT_FALSE(observer.has(second->view(), AccessibilityChange::ScreenShown));
    advance(0.5);
    EXPECT_TRUE(observer.has(second->view(), AccessibilityChange::ScreenShown));

    // Views in no window announce nothing.
    observer.heard.clear();
    auto loose = std::make_shared<Label>(Rect(0, 0, 10, 10));
    loose->setText("Nowhere");
    loose->addSubview(std::make_shared<View>());
    EXPECT_TRUE(observer.heard.empty());
    auto child = std::make_shared<View>(Rect(0, 0, 10, 10));
    second->view()->addSubview(child);
    EXPECT_TRUE(observer.has(second->view(), AccessibilityChange::Children));
    child->setHidden(true);
    child->removeFromSuperview();
    EXPECT_EQ(std::count_if(observer.heard.begin(), observer.heard.end(), [](const auto& h) { return h.second == AccessibilityChange::Children; }), 3);
}
