#include "UiTestSupport.h"

#include "ui/ActionSheet.h"
#include "ui/AlertView.h"
#include "ui/BarButtonItem.h"
#include "ui/BarButtonView.h"
#include "ui/Button.h"
#include "ui/Keyboard.h"
#include "ui/Slider.h"
#include "ui/Switch.h"
#include "ui/TextField.h"
#include "ui/Toolbar.h"

#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

class ControlTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
    }

    // Records which events a control sent, in order.
    void record(Control& control, unsigned events, const std::string& name)
    {
        control.addTargetActionForControlEvents(this, [this, name](Control&) { log.push_back(name); }, events);
    }
    void touch(TouchPhase phase, Point p) { window->sendTouch(1, phase, p); }
    void tap(Point p)
    {
        touch(TouchPhase::Began, p);
        touch(TouchPhase::Ended, p);
    }
    static Point centreOf(const View& view) { return view.convertPointToView(view.bounds().center(), nullptr); }

    std::shared_ptr<Window> window;
    std::vector<std::string> log;
};

class ReturnDelegate : public TextFieldDelegate {
public:
    int returns = 0;
    bool textFieldShouldReturn(TextField& field) override
    {
        ++returns;
        field.resignFirstResponder();
        return true;
    }
};

class IndexDelegate : public AlertViewDelegate, public ActionSheetDelegate {
public:
    std::vector<int> clicked;
    std::vector<std::string> titles;
    void alertViewClickedButtonAtIndex(AlertView& alert, int index) override
    {
        clicked.push_back(index);
        titles.push_back(alert.buttonTitleAtIndex(index));
    }
    void actionSheetClickedButtonAtIndex(ActionSheet& sheet, int index) override
    {
        clicked.push_back(index);
        titles.push_back(sheet.buttonTitleAtIndex(index));
    }
};

} // namespace

TEST_F(ControlTest, TouchUpInsideOnlyWhenReleasedInside)
{
    auto button = std::make_shared<Button>(Rect(100, 100, 80, 40));
    window->addSubview(button);
    record(*button, ControlEventTouchDown, "down");
    record(*button, ControlEventTouchUpInside, "up inside");
    record(*button, ControlEventTouchUpOutside, "up outside");

    tap({ 140, 120 });
    EXPECT_EQ(log, (std::vector<std::string> { "down", "up inside" }));
    EXPECT_FALSE(button->isHighlighted());

    // A drag far out: the highlight goes and the release is outside: no action.
    log.clear();
    touch(TouchPhase::Began, { 140, 120 });
    EXPECT_TRUE(button->isHighlighted());
    touch(TouchPhase::Moved, { 140, 300 });
    EXPECT_FALSE(button->isHighlighted());
    touch(TouchPhase::Ended, { 140, 300 });
    EXPECT_EQ(log, (std::vector<std::string> { "down", "up outside" }));

    // Out and back in again is inside, as on the platform; the margin counts as inside.
    log.clear();
    touch(TouchPhase::Began, { 140, 120 });
    touch(TouchPhase::Moved, { 140, 300 });
    touch(TouchPhase::Moved, { 140, 200 });
    EXPECT_TRUE(button->isHighlighted());
    touch(TouchPhase::Ended, { 140, 200 });
    EXPECT_EQ(log, (std::vector<std::string> { "down", "up inside" }));

    // A disabled button takes no touch; an action may remove its own button.
    log.clear();
    button->setEnabled(false);
    tap({ 140, 120 });
    EXPECT_TRUE(log.empty());
    button->setEnabled(true);
    button->addTargetActionForControlEvents(nullptr, [](Control& sender) { sender.removeFromSuperview(); }, ControlEventTouchUpInside);
    std::weak_ptr<Responder> weak = button;
    button.reset();
    tap({ 140, 120 });
    EXPECT_EQ(log, (std::vector<std::string> { "down", "up inside" }));
    EXPECT_TRUE(weak.expired());
}

TEST_F(ControlTest, ButtonPicksContentByStateAndPlacesTitleByInsets)
{
    auto button = std::make_shared<Button>(Rect(0, 0, 164, 164));
    button->setTitleForState("Stop", ControlStateNormal);
    button->setTitleColorForState(gfx::Color::rgba(1, 0.5f, 0), ControlStateSelected);
    EXPECT_EQ(button->currentTitleColor(), gfx::Color::white());
    button->setSelected(true);
    EXPECT_EQ(button->currentTitleColor(), gfx::Color::rgba(1, 0.5f, 0));
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitleColor(), gfx::Color::rgba(1, 0.5f, 0));
    EXPECT_EQ(button->currentTitle(), "Stop");

    button->setTitleEdgeInsets({ 110, 0, 0, 0 });
    Rect title = button->titleRectForContentRect(button->bounds());
    EXPECT_GE(title.minY(), 110);
    EXPECT_LE(title.maxY(), 164);
    EXPECT_NEAR(title.midX(), 82, 1);
}

TEST_F(ControlTest, NonContinuousSliderSendsTouchDownOnceAndValueChangedOnceAtRelease)
{
    auto slider = std::make_shared<Slider>(Rect(60, 100, 200, 20));
    window->addSubview(slider);
    slider->setMaximumValue(100);
    slider->setContinuous(false);
    record(*slider, ControlEventTouchDown, "down");
    record(*slider, ControlEventValueChanged, "changed");

    Point thumb = slider->convertPointToView(slider->thumbRectForBounds(slider->bounds(), 0).center(), nullptr);
    touch(TouchPhase::Began, thumb);
    for (float x = thumb.x; x <= thumb.x + 120; x += 20)
        touch(TouchPhase::Moved, { x, thumb.y + 30 });
    EXPECT_EQ(log, (std::vector<std::string> { "down" }));
    EXPECT_GT(slider->value(), 50);
    touch(TouchPhase::Ended, { thumb.x + 120, thumb.y + 30 });
    EXPECT_EQ(log, (std::vector<std::string> { "down", "changed" }));
    EXPECT_NEAR(slider->value(), 120.0f / (200 - Slider::kThumbSize) * 100, 0.5);

    // Away from the thumb the track does nothing; a press without a move still answers.
    log.clear();
    tap({ 250, 110 });
    EXPECT_TRUE(log.empty());
    tap(slider->convertPointToView(slider->thumbRectForBounds(slider->bounds(), slider->value()).center(), nullptr));
    EXPECT_EQ(log, (std::vector<std::string> { "down", "changed" }));

    // A continuous slider reports each change while dragging.
    log.clear();
    slider->setContinuous(true);
    slider->setValue(0);
    touch(TouchPhase::Began, thumb);
    touch(TouchPhase::Moved, { thumb.x + 20, thumb.y });
    touch(TouchPhase::Moved, { thumb.x + 40, thumb.y });
    touch(TouchPhase::Ended, { thumb.x + 40, thumb.y });
    EXPECT_EQ(log, (std::vector<std::string> { "down", "changed", "changed" }));
    slider->setValue(500);
    EXPECT_EQ(slider->value(), 100);
}

TEST_F(ControlTest, KeyboardNotificationsFollowTheFirstResponder)
{
    auto& centre = foundation::NotificationCenter::defaultCenter();
    for (const char* name : { KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification, KeyboardDidHideNotification })
        centre.addObserver(this, name, nullptr, [this](const foundation::Notification& n) { log.push_back(n.name()); });
    auto field = std::make_shared<TextField>(Rect(20, 100, 280, 31));
    auto other = std::make_shared<TextField>(Rect(20, 150, 280, 31));
    window->addSubview(field);
    window->addSubview(other);
    Keyboard& keyboard = window->keyboard();

    ASSERT_TRUE(field->becomeFirstResponder());
    EXPECT_EQ(log, (std::vector<std::string> { KeyboardWillShowNotification }));
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(keyboard.superview(), window.get());
    EXPECT_EQ(keyboard.presentedCenter().y, 480 + Keyboard::kHeight / 2);
    advance(Keyboard::kAnimationDuration + 0.05);
    EXPECT_EQ(log, (std::vector<std::string> { KeyboardWillShowNotification, KeyboardDidShowNotification }));
    EXPECT_EQ(keyboard.frame(), Rect(0, 264, 320, 216));

    // Handing over to another field keeps the keyboard up.
    log.clear();
    ASSERT_TRUE(other->becomeFirstResponder());
    advance(1);
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(field->isEditing());

    ASSERT_TRUE(other->resignFirstResponder());
    EXPECT_EQ(log, (std::vector<std::string> { KeyboardWillHideNotification }));
    EXPECT_EQ(keyboard.superview(), window.get());
    advance(Keyboard::kAnimationDuration + 0.05);
    EXPECT_EQ(log, (std::vector<std::string> { KeyboardWillHideNotification, KeyboardDidHideNotification }));
    EXPECT_EQ(keyboard.superview(), nullptr);
    centre.removeObserver(this);
}

TEST_F(ControlTest, TypingEditsAtTheCaretAndReturnAsksTheDelegate)
{
    auto field = std::make_shared<TextField>(Rect(20, 100, 280, 31));
    field->setReturnKeyType(ReturnKeyType::Done);
    ReturnDelegate delegate;
    field->setDelegate(&delegate);
    window->addSubview(field);
    record(*field, ControlEventEditingChanged, "changed");

    tap(centreOf(*field));
    ASSERT_TRUE(field->isFirstResponder());
    window->sendText("abc");
    window->sendKey(Key::Left);
    window->sendText("é");
    window->sendKey(Key::Left);
    window->sendKey(Key::Backspace);
    EXPECT_EQ(field->text(), "aéc");
    window->sendKey(Key::End);
    window->sendKey(Key::Backspace);
    EXPECT_EQ(field->text(), "aé");
    EXPECT_EQ(log.size(), 4u);

    // The on-screen keys type the same way, and its return key is the field's.
    advance(0.5);
    Keyboard& keyboard = window->keyboard();
    auto keys = keyboard.keys();
    auto key = [&](Keyboard::Key::Kind kind, const std::string& text) {
        for (const auto& k : keys)
            if (k.kind == kind && (text.empty() || k.text == text))
                return keyboard.convertPointToView(k.frame.center(), nullptr);
        ADD_FAILURE() << "no key " << text;
        return Point {};
    };
    tap(key(Keyboard::Key::Kind::Character, "q"));
    tap(key(Keyboard::Key::Kind::Space, ""));
    EXPECT_EQ(field->text(), "aéq ");
    EXPECT_EQ(Keyboard::returnKeyTitle(ReturnKeyType::Done), "Done");
    tap(key(Keyboard::Key::Kind::Return, ""));
    EXPECT_EQ(delegate.returns, 1);
    EXPECT_FALSE(field->isFirstResponder());
    field->setDelegate(nullptr);
}

TEST_F(ControlTest, AlertReportsTheIndexOfTheTappedButton)
{
    IndexDelegate delegate;
    auto alert = std::make_shared<AlertView>("Recording Interrupted", "Continue?", &delegate, "No");
    EXPECT_EQ(alert->cancelButtonIndex(), 0);
    EXPECT_EQ(alert->addButtonWithTitle("Yes"), 1);
    EXPECT_EQ(alert->addButtonWithTitle("Later"), 2);
    alert->show();
    std::weak_ptr<Responder> weak = alert;
    alert.reset();
    advance(0.5);
    ASSERT_FALSE(weak.expired());
    auto shown = std::static_pointer_cast<AlertView>(weak.lock());
    EXPECT_TRUE(shown->isVisible());
    ASSERT_EQ(shown->buttons().size(), 3u);

    // The alert is modal: a touch beside it reaches nothing below.
    auto below = std::make_shared<Button>(Rect(0, 400, 320, 60));
    window->insertSubviewAtIndex(below, 0);
    record(*below, ControlEventTouchUpInside, "below");
    tap({ 160, 430 });
    EXPECT_TRUE(log.empty());

    tap(centreOf(*shown->buttons()[1]));
    EXPECT_EQ(delegate.clicked, (std::vector<int> { 1 }));
    EXPECT_EQ(delegate.titles, (std::vector<std::string> { "Yes" }));
    shown.reset();
    advance(0.5);
    EXPECT_TRUE(weak.expired());
}

TEST_F(ControlTest, ActionSheetKeepsTheOrderOfItsButtons)
{
    IndexDelegate delegate;
    auto sheet = std::make_shared<ActionSheet>("", &delegate);
    sheet->addButtonWithTitle("Choose Existing Photo");
    sheet->addButtonWithTitle("Take Photo");
    sheet->setDestructiveButtonIndex(sheet->addButtonWithTitle("Delete Photo"));
    sheet->setCancelButtonIndex(sheet->addButtonWithTitle("Cancel"));
    sheet->setActionSheetStyle(ActionSheetStyle::BlackTranslucent);
    EXPECT_EQ(sheet->destructiveButtonIndex(), 2);
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "Take Photo");
    EXPECT_EQ(sheet->buttonTitleAtIndex(7), "");

    auto host = std::make_shared<View>(Rect(0, 20, 320, 460));
    window->addSubview(host);
    sheet->showInView(*host);
    advance(0.5);
    const auto& buttons = sheet->buttons();
    ASSERT_EQ(buttons.size(), 4u);
    // Top to bottom in index order, the sheet resting on the window's bottom edge.
    for (size_t i = 1; i < buttons.size(); ++i)
        EXPECT_GT(buttons[i]->frame().minY(), buttons[i - 1]->frame().minY());
    EXPECT_LE(buttons[3]->convertRectToView(buttons[3]->bounds(), nullptr).maxY(), 480);
    tap(centreOf(*buttons[2]));
    tap(centreOf(*buttons[3]));
    EXPECT_EQ(delegate.clicked, (std::vector<int> { 2 }));
    EXPECT_EQ(delegate.titles, (std::vector<std::string> { "Delete Photo" }));
    advance(0.5);
    EXPECT_EQ(sheet->superview(), nullptr);
}

TEST_F(ControlTest, ASliderLowerThanItsThumbRedrawsTheWholeThumb)
{
    auto slider = std::make_shared<Slider>(Rect(100, 300, 150, 20));
    slider->setMaximumValue(10);
    window->addSubview(slider);
    window->displayIfNeeded();
    ASSERT_FALSE(window->dirtyRect());
    slider->setValue(5);
    ASSERT_TRUE(window->dirtyRect());
    // The thumb with its shadow reaches above and below the slider's 20 points.
    const Rect thumb = slider->convertRectToView(slider->thumbRectForBounds(slider->bounds(), 0), nullptr).insetBy(0, -1);
    EXPECT_EQ(window->dirtyRect()->united(thumb), *window->dirtyRect());
}

TEST_F(ControlTest, ADisabledBarItemShowsDimmedAndDoesNothingUntilEnabled)
{
    auto bar = std::make_shared<Toolbar>(Rect(0, 436, 320, 44));
    window->addSubview(bar);
    int pressed = 0;
    auto item = BarButtonItem::withTitle("Edit", BarButtonItemStyle::Bordered, [&](BarButtonItem&) { ++pressed; });
    item->setEnabled(false);
    bar->setItems({ item });
    window->layoutIfNeeded();
    BarButtonView* view = bar->viewForItem(item.get());
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->isEnabled());
    tap(view->convertPointToView(view->bounds().center(), nullptr));
    EXPECT_EQ(pressed, 0);

    item->setEnabled(true);
    window->layoutIfNeeded();
    view = bar->viewForItem(item.get());
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->isEnabled());
    tap(view->convertPointToView(view->bounds().center(), nullptr));
    EXPECT_EQ(pressed, 1);
}

TEST_F(ControlTest, ASwitchTurnsOverOnATapInsideAndTellsOnce)
{
    auto toggle = std::make_shared<Switch>(Rect(100, 100, Switch::kWidth, Switch::kHeight));
    window->addSubview(toggle);
    record(*toggle, ControlEventValueChanged, "changed");
    auto knobColour = [&](bool on) {
        auto screen = renderScreen(*window);
        const Point knob = toggle->convertPointToView(toggle->knobRectForBounds(toggle->bounds(), on).center(), nullptr);
        return screen->makeImage()->pixelAt(int(knob.x), int(knob.y));
    };
    EXPECT_FALSE(toggle->isOn());
    // Off: the knob at the left, the right end of the track light (not blue).
    const gfx::Pixel offRight = knobColour(true);
    EXPECT_GT(offRight.red, 180);

    tap(centreOf(*toggle));
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(log, (std::vector<std::string> { "changed" }));
    // On: the left end of the track is blue.
    const gfx::Pixel onLeft = knobColour(false);
    EXPECT_LT(onLeft.red, 100);
    EXPECT_GT(onLeft.blue, 180);

    // Let go outside: nothing changes, nothing is told.
    touch(TouchPhase::Began, centreOf(*toggle));
    touch(TouchPhase::Moved, { 300, 300 });
    touch(TouchPhase::Ended, { 300, 300 });
    EXPECT_TRUE(toggle->isOn());
    EXPECT_EQ(log.size(), 1u);

    // Code sets the value silently; a disabled switch ignores taps.
    toggle->setOn(false);
    EXPECT_EQ(log.size(), 1u);
    toggle->setEnabled(false);
    tap(centreOf(*toggle));
    EXPECT_FALSE(toggle->isOn());
    EXPECT_EQ(log.size(), 1u);
}
