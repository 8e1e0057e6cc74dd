// The keyboard alone: Tab and Shift+Tab through the controls of what is in front, in reading
// order; Space and Return press; arrows move sliders, tabs and list rows; alerts and sheets
// answer Return and Escape and keep every key from what lies behind them; the ring is drawn
// round the focus and goes with a click.

#include "UiTestSupport.h"

#include "ui/ActionSheet.h"
#include "ui/AlertView.h"
#include "ui/BarButtonItem.h"
#include "ui/BarButtonView.h"
#include "ui/Button.h"
#include "ui/NavigationController.h"
#include "ui/NavigationItem.h"
#include "ui/Slider.h"
#include "ui/Switch.h"
#include "ui/TabBar.h"
#include "ui/TabBarController.h"
#include "ui/TableViewCell.h"
#include "ui/TableViewController.h"
#include "ui/TextField.h"

#include "graphics/Context.h"

#include <gtest/gtest.h>

using namespace ui;

namespace {

std::shared_ptr<Button> makeButton(const gfx::Rect& frame, const std::string& title, int* presses)
{
    auto button = std::make_shared<Button>(frame);
    button->setTitleForState(title, ControlStateNormal);
    button->setBackgroundColor(gfx::Color::grey(0.8f));
    button->addTargetActionForControlEvents(nullptr, [presses](Control&) { ++*presses; }, ControlEventTouchUpInside);
    return button;
}

// A screen of one of each control, some added out of their reading order, with a shortcut of
// its own on Space.
class Form : public ViewController {
public:
    int leftPresses { 0 }, rightPresses { 0 }, hiddenPresses { 0 }, disabledPresses { 0 }, coveredPresses { 0 }, barPresses { 0 };
    int spaces { 0 }, rs { 0 };
    int switchChanges { 0 };
    std::vector<std::string> sliderEvents;
    std::shared_ptr<Button> left, right, hidden, disabled, covered;
    std::shared_ptr<TextField> field;
    std::shared_ptr<Switch> toggle;
    std::shared_ptr<Slider> slider;

    Form() { setTitle("Form"); }
    void viewDidLoad() override
    {
        // The right one first: the order of subviews is not the order of reading.
        right = makeButton({ 170, 20, 130, 40 }, "Right", &rightPresses);
        left = makeButton({ 20, 24, 130, 36 }, "Left", &leftPresses);
        hidden = makeButton({ 20, 70, 130, 30 }, "Hidden", &hiddenPresses);
        hidden->setHidden(true);
        disabled = makeButton({ 170, 70, 130, 30 }, "Disabled", &disabledPresses);
        disabled->setEnabled(false);
        field = std::make_shared<TextField>(gfx::Rect(20, 110, 280, 31));
        field->setBorderStyle(TextBorderStyle::RoundedRect);
        toggle = std::make_shared<Switch>(gfx::Rect(20, 160, Switch::kWidth, Switch::kHeight));
        toggle->addTargetActionForControlEvents(nullptr, [this](Control&) { ++switchChanges; }, ControlEventValueChanged);
        slider = std::make_shared<Slider>(gfx::Rect(20, 210, 280, 23));
        slider->setMaximumValue(50);
        slider->setValue(20);
        slider->addTargetActionForControlEvents(nullptr, [this](Control&) { sliderEvents.push_back("down"); }, ControlEventTouchDown);
        slider->addTargetActionForControlEvents(nullptr, [this](Control& s) { sliderEvents.push_back(std::to_string(int(static_cast<Slider&>(s).value()))); },
            ControlEventValueChanged);
        covered = makeButton({ 20, 250, 130, 30 }, "Covered", &coveredPresses);
        for (const auto& view : std::initializer_list<std::shared_ptr<View>> { right, left, hidden, disabled, field, toggle, slider, covered })
            this->view()->addSubview(view);
        // An opaque panel over the covered button.
        auto panel = std::make_shared<View>(gfx::Rect(0, 245, 320, 40));
        panel->setBackgroundColor(gfx::Color::grey(0.5f));
        this->view()->addSubview(panel);
        navigationItem()->setRightBarButtonItem(BarButtonItem::withTitle("Bar", BarButtonItemStyle::Bordered, [this](BarButtonItem&) { ++barPresses; }));
    }
    bool performKeyCommand(const KeyCommand& command) override
    {
        if (command.is(" ")) {
            ++spaces;
            return true;
        }
        if (command.is("r")) {
            ++rs;
            return true;
        }
        return ViewController::performKeyCommand(command);
    }
};

class Rows : public TableViewController {
public:
    std::vector<std::string> rows { "one", "two", "three" };
    std::vector<int> chosen;
    Rows() { setTitle("Rows"); }
    int tableViewNumberOfRowsInSection(TableView&, int) override { return int(rows.size()); }
    std::shared_ptr<TableViewCell> tableViewCellForRowAtIndexPath(TableView&, const IndexPath& ip) override
    {
        auto cell = std::make_shared<TableViewCell>(gfx::Rect(), "Row");
        cell->setText(rows[size_t(ip.row)]);
        return cell;
    }
    void tableViewDidSelectRowAtIndexPath(TableView&, const IndexPath& ip) override { chosen.push_back(ip.row); }
    void tableViewCommitEditingStyleForRowAtIndexPath(TableView& table, TableViewCellEditingStyle, const IndexPath& ip) override
    {
        rows.erase(rows.begin() + ip.row);
        table.deleteRowsAtIndexPaths({ ip }, TableViewRowAnimation::Fade);
    }
};

class Answers : public AlertViewDelegate, public ActionSheetDelegate {
public:
    std::vector<int> alert, sheet;
    void alertViewClickedButtonAtIndex(AlertView&, int index) override { alert.push_back(index); }
    void actionSheetClickedButtonAtIndex(ActionSheet&, int index) override { sheet.push_back(index); }
};

class KeyboardFocusTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        tabs = std::make_shared<TabBarController>();
        tabs->setViewControllers({ std::make_shared<NavigationController>(form), std::make_shared<NavigationController>(rows) });
        window = std::make_shared<Window>();
        window->addSubview(tabs->view());
        window->makeKeyAndVisible();
        advance(0.1);
    }
    static KeyCommand character(const std::string& c) { return { c, std::nullopt, false, false }; }
    static KeyCommand shiftTab() { return { "", Key::Tab, false, false, true }; }
    View* focus() { return window->keyboardFocus(); }
    View* barButton()
    {
        auto bar = form->navigationController()->navigationBar();
        for (const auto& subview : bar->subviews())
            if (auto* b = dynamic_cast<BarButtonView*>(subview.get()); b && !b->isBackButton())
                return b;
        return nullptr;
    }
    TabBar* tabBar() { return tabs->tabBar().get(); }
    void tapAt(gfx::Point p)
    {
        window->sendTouch(1, TouchPhase::Began, p);
        window->sendTouch(1, TouchPhase::Ended, p);
    }
    /// Whether the pixel at p (window points) of the screen drawn now is the ring's blue.
    bool ringAt(gfx::Point p)
    {
        window->layoutIfNeeded();
        auto context = renderScreen(*window);
        const gfx::Pixel pixel = context->bitmap().pixelAt(int(p.x), int(p.y));
        return pixel.blue > 200 && pixel.red < 150 && pixel.blue > pixel.green;
    }

    std::shared_ptr<Form> form = std::make_shared<Form>();
    std::shared_ptr<Rows> rows = std::make_shared<Rows>();
    std::shared_ptr<TabBarController> tabs;
    std::shared_ptr<Window> window;
    Answers answers;
};

} // namespace

TEST_F(KeyboardFocusTest, TabGoesThroughWhatIsShownInReadingOrderAndShiftTabComesBack)
{
    form->view();
    const std::vector<View*> expected { barButton(), form->left.get(), form->right.get(), form->field.get(), form->toggle.get(), form->slider.get(),
        tabBar() };
    ASSERT_NE(barButton(), nullptr);
    // Hidden, disabled and covered buttons are no stops, nor the tab not shown.
    EXPECT_EQ(window->keyboardFocusOrder(), expected);

    EXPECT_EQ(focus(), nullptr) << "no focus before a key moves it";
    std::vector<View*> visited;
    for (size_t i = 0; i < expected.size(); ++i) {
        window->sendKey(Key::Tab);
        visited.push_back(focus());
    }
    EXPECT_EQ(visited, expected);
    window->sendKey(Key::Tab);
    EXPECT_EQ(focus(), expected.front()) << "round at the end";
    EXPECT_TRUE(window->sendKeyCommand(shiftTab()));
    EXPECT_EQ(focus(), expected.back()) << "and back round at the start";
    window->sendKeyCommand(shiftTab());
    EXPECT_EQ(focus(), form->slider.get());

    // A control that becomes disabled loses the focus; once enabled the order has it again.
    form->disabled->setEnabled(true);
    EXPECT_EQ(window->keyboardFocusOrder()[3], form->disabled.get()) << "beside the hidden one, on the right";
    form->slider->setEnabled(false);
    EXPECT_EQ(focus(), nullptr);
    form->slider->setEnabled(true);
    EXPECT_EQ(focus(), form->slider.get());
}

TEST_F(KeyboardFocusTest, SpaceAndReturnPressTheFocusedControlAndArrowsMoveSlidersAndTabs)
{
    form->view();
    // Without the focus, Space is the screen's: a button that was only clicked takes none.
    tapAt(form->left->convertPointToView(form->left->bounds().center(), nullptr));
    EXPECT_EQ(form->leftPresses, 1);
    window->sendKeyCommand(character(" "));
    EXPECT_EQ(form->spaces, 1);
    EXPECT_EQ(form->leftPresses, 1);

    window->setKeyboardFocus(form->left.get());
    window->sendKeyCommand(character(" "));
    window->sendKey(Key::Return);
    EXPECT_EQ(form->leftPresses, 3);
    EXPECT_EQ(form->spaces, 1);

    window->setKeyboardFocus(barButton());
    window->sendKey(Key::Return);
    EXPECT_EQ(form->barPresses, 1);

    window->setKeyboardFocus(form->toggle.get());
    window->sendKeyCommand(character(" "));
    EXPECT_TRUE(form->toggle->isOn());
    window->sendKey(Key::Return);
    EXPECT_FALSE(form->toggle->isOn());
    EXPECT_EQ(form->switchChanges, 2);

    // A tenth of the range a step, each told as a drag is; clamped at the ends.
    window->setKeyboardFocus(form->slider.get());
    window->sendKey(Key::Right);
    EXPECT_EQ(form->slider->value(), 25);
    window->sendKey(Key::Down);
    window->sendKey(Key::Left);
    EXPECT_EQ(form->slider->value(), 15);
    window->sendKey(Key::End);
    window->sendKey(Key::Right);
    EXPECT_EQ(form->slider->value(), 50);
    window->sendKey(Key::Home);
    EXPECT_EQ(form->slider->value(), 0);
    EXPECT_EQ(form->sliderEvents, (std::vector<std::string> { "down", "25", "down", "20", "down", "15", "down", "50", "down", "50", "down", "0" }));
    form->slider->setKeyboardStep(5);
    window->sendKey(Key::Right);
    EXPECT_EQ(form->slider->value(), 5);

    // The tab bar: Left and Right select the tab beside, as a tap would; the screen's own
    // shortcuts still reach it from a focus on a bar.
    window->setKeyboardFocus(tabBar());
    window->sendKeyCommand(character("r"));
    EXPECT_EQ(form->rs, 1);
    window->setKeyboardFocus(barButton());
    window->sendKeyCommand(character("r"));
    EXPECT_EQ(form->rs, 2);
    window->setKeyboardFocus(tabBar());
    window->sendKey(Key::Right);
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(focus(), tabBar()) << "the bar keeps the focus";
    window->sendKey(Key::Right);
    EXPECT_EQ(tabs->selectedIndex(), 1) << "no tab beyond the last";
    window->sendKey(Key::Left);
    EXPECT_EQ(tabs->selectedIndex(), 0);
}

TEST_F(KeyboardFocusTest, TabIntoATextFieldEditsItAndTabOutEndsTheEditing)
{
    form->view();
    window->setKeyboardFocus(form->right.get());
    window->sendKey(Key::Tab);
    ASSERT_EQ(focus(), form->field.get());
    EXPECT_TRUE(form->field->isFirstResponder());
    window->sendKeyCommand(character("h"));
    window->sendKeyCommand(character(" "));
    window->sendText("i");
    EXPECT_EQ(form->field->text(), "h i") << "Space is typed, not pressed";
    EXPECT_EQ(form->spaces, 0);
    window->sendKey(Key::Tab);
    EXPECT_FALSE(form->field->isFirstResponder());
    EXPECT_EQ(focus(), form->toggle.get());
    window->sendKeyCommand(shiftTab());
    EXPECT_TRUE(form->field->isFirstResponder());

    // A field clicked into is where Tab goes on from.
    window->setKeyboardFocus(nullptr);
    form->field->resignFirstResponder();
    tapAt(form->field->convertPointToView(form->field->bounds().center(), nullptr));
    ASSERT_TRUE(form->field->isFirstResponder());
    window->sendKey(Key::Tab);
    EXPECT_EQ(focus(), form->toggle.get());
}

TEST_F(KeyboardFocusTest, ListRowsMoveWithTheArrowsOpenWithReturnAndDeleteWithDeleteTwice)
{
    tabs->setSelectedIndex(1);
    advance(0.1);
    auto table = rows->tableView();
    window->sendKey(Key::Tab);
    window->sendKey(Key::Tab);
    window->sendKey(Key::Tab);
    ASSERT_EQ(focus(), table.get()) << "after the tab bar, the list";
    window->sendKey(Key::Down);
    window->sendKey(Key::Down);
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath { 0, 1 }));
    // The ring goes round the chosen row.
    const gfx::Rect row = table->convertRectToView(table->rectForRowAtIndexPath({ 0, 1 }), nullptr);
    ASSERT_TRUE(window->focusRingRect());
    EXPECT_EQ(*window->focusRingRect(), row.insetBy(4 - Window::kFocusRingOutset, 3 - Window::kFocusRingOutset).integral());
    window->sendKey(Key::Return);
    EXPECT_EQ(rows->chosen, std::vector<int> { 1 });

    window->sendKey(Key::Delete);
    EXPECT_EQ(table->indexPathShowingDeleteConfirmation(), (IndexPath { 0, 1 }));
    window->sendKey(Key::Escape);
    EXPECT_FALSE(table->indexPathShowingDeleteConfirmation());
    EXPECT_EQ(rows->rows.size(), 3u) << "Escape deletes nothing";
    window->sendKey(Key::Delete);
    window->sendKey(Key::Delete);
    advance(0.5);
    EXPECT_EQ(rows->rows, (std::vector<std::string> { "one", "three" }));
}

TEST_F(KeyboardFocusTest, AnAlertAnswersReturnAndEscapeAndKeepsEveryKeyFromTheFieldBehind)
{
    form->view();
    window->setKeyboardFocus(form->field.get());
    window->sendText("ab");
    auto alert = std::make_shared<AlertView>("Title", "Message", &answers, "Cancel", std::vector<std::string> { "OK" });
    alert->show();
    EXPECT_EQ(window->frontPopup(), alert.get());
    EXPECT_EQ(focus(), nullptr) << "the field behind is covered";

    // Nothing reaches the field, nor the screen's shortcut.
    window->sendText("x");
    window->sendKeyCommand(character("y"));
    window->sendKeyCommand(character(" "));
    window->sendKey(Key::Backspace);
    window->sendInputMethodEvent(InputMethodEvent { "", 0, "z", std::nullopt });
    EXPECT_EQ(form->field->text(), "ab");
    EXPECT_EQ(form->spaces, 0);
    EXPECT_TRUE(answers.alert.empty());

    // Only the alert's buttons are stops; Return gives its default button.
    EXPECT_EQ(window->keyboardFocusOrder(), (std::vector<View*> { alert->buttons()[0].get(), alert->buttons()[1].get() }));
    window->sendKey(Key::Return);
    EXPECT_EQ(answers.alert, std::vector<int> { 1 });
    advance(0.5);
    EXPECT_EQ(window->frontPopup(), nullptr);
    // Gone: the field has the focus and the keys again.
    EXPECT_EQ(focus(), form->field.get());
    window->sendText("c");
    EXPECT_EQ(form->field->text(), "abc");

    auto second = std::make_shared<AlertView>("Title", "Message", &answers, "Cancel", std::vector<std::string> { "OK" });
    second->show();
    window->sendKey(Key::Escape);
    EXPECT_EQ(answers.alert, (std::vector<int> { 1, 0 }));
    advance(0.5);

    // Tab and Space press the one chosen; arrows move between the buttons.
    auto third = std::make_shared<AlertView>("Title", "Message", &answers, "Cancel", std::vector<std::string> { "OK" });
    third->show();
    window->sendKey(Key::Tab);
    EXPECT_EQ(focus(), third->buttons()[0].get());
    EXPECT_TRUE(form->field->isFirstResponder()) << "the field behind keeps its editing";
    window->sendKey(Key::Right);
    EXPECT_EQ(focus(), third->buttons()[1].get());
    window->sendKey(Key::Left);
    window->sendKeyCommand(character(" "));
    EXPECT_EQ(answers.alert, (std::vector<int> { 1, 0, 0 }));
    advance(0.5);

    // A lone button answers Escape too.
    auto lone = std::make_shared<AlertView>("Title", "Message", &answers, "", std::vector<std::string> { "OK" });
    lone->show();
    window->sendKey(Key::Escape);
    EXPECT_EQ(answers.alert, (std::vector<int> { 1, 0, 0, 0 }));
    advance(0.5);
}

TEST_F(KeyboardFocusTest, ASheetClosesOnEscapeAndTakesNoDefaultFromReturn)
{
    form->view();
    auto sheet = std::make_shared<ActionSheet>("", &answers, "Cancel", "Empty", std::vector<std::string> {});
    sheet->showInView(*form->view());
    advance(0.4);
    // A stray Return never takes the destructive button.
    window->sendKey(Key::Return);
    EXPECT_TRUE(answers.sheet.empty());
    EXPECT_EQ(window->frontPopup(), sheet.get());
    window->sendKey(Key::Escape);
    EXPECT_EQ(answers.sheet, std::vector<int> { sheet->cancelButtonIndex() });
    advance(0.5);

    auto again = std::make_shared<ActionSheet>("", &answers, "Cancel", "Empty", std::vector<std::string> {});
    again->showInView(*form->view());
    advance(0.4);
    window->sendKey(Key::Tab);
    EXPECT_EQ(focus(), again->buttons()[size_t(again->destructiveButtonIndex())].get());
    window->sendKey(Key::Return);
    EXPECT_EQ(answers.sheet, (std::vector<int> { again->cancelButtonIndex(), again->destructiveButtonIndex() }));
    advance(0.5);
}

TEST_F(KeyboardFocusTest, TheRingIsDrawnRoundTheFocusAndGoesWithAClick)
{
    form->view();
    window->displayIfNeeded();
    const gfx::Rect frame = form->left->convertRectToView(form->left->bounds(), nullptr);
    const gfx::Point edge { frame.midX(), frame.minY() - 1.5f };
    EXPECT_FALSE(ringAt(edge));
    window->setKeyboardFocus(form->left.get());
    EXPECT_TRUE(window->needsDisplay());
    EXPECT_TRUE(ringAt(edge));
    EXPECT_EQ(*window->focusRingRect(), frame.insetBy(-Window::kFocusRingOutset, -Window::kFocusRingOutset).integral());

    // Where the ring was is repainted when it moves on, and where it goes.
    window->displayIfNeeded();
    std::vector<gfx::Rect> painted;
    window->setDisplayHandler([&](const gfx::Rect& dirty) { painted.push_back(dirty); });
    window->sendKey(Key::Tab);
    window->displayIfNeeded();
    ASSERT_EQ(painted.size(), 1u);
    const gfx::Rect next = form->right->convertRectToView(form->right->bounds(), nullptr);
    const auto holds = [](const gfx::Rect& outer, const gfx::Rect& inner) { return outer.intersection(inner) == inner; };
    EXPECT_TRUE(holds(painted[0], frame.insetBy(-Window::kFocusRingOutset, -Window::kFocusRingOutset)));
    EXPECT_TRUE(holds(painted[0], next.insetBy(-Window::kFocusRingOutset, -Window::kFocusRingOutset)));
    EXPECT_FALSE(ringAt(edge));

    // Covered by an alert, the ring is not drawn; a click anywhere takes it away.
    window->setKeyboardFocus(form->left.get());
    auto alert = std::make_shared<AlertView>("Title", "Message", &answers, "Cancel");
    alert->show();
    EXPECT_FALSE(window->focusRingRect());
    window->sendKey(Key::Escape);
    advance(0.5);
    EXPECT_TRUE(window->focusRingRect());
    tapAt({ 300, 300 });
    EXPECT_FALSE(window->focusRingRect());
    EXPECT_EQ(focus(), nullptr);
}
