// The keyboard where the system types (a physical keyboard, the desktop's own keys): nothing
// drawn, the notifications with the real height; and the drawn keys of a touch screen in the
// layout and captions of the texts' language.

#include "UiTestSupport.h"

#include "ui/Keyboard.h"
#include "ui/TextField.h"

#include "foundation/Bundle.h"
#include "foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace ui;
using gfx::Rect;

namespace {

class KeyboardPresenceTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
        field = std::make_shared<TextField>(Rect(20, 100, 280, 31));
        field->setReturnKeyType(ReturnKeyType::Done);
        window->addSubview(field);
        for (const char* name : { KeyboardWillShowNotification, KeyboardDidShowNotification, KeyboardWillHideNotification, KeyboardDidHideNotification })
            foundation::NotificationCenter::defaultCenter().addObserver(this, name, nullptr, [this](const foundation::Notification& n) {
                heard.push_back(n.name() + " " + n.userInfo().at(KeyboardBoundsUserInfoKey) + " " + n.userInfo().at(KeyboardCenterEndUserInfoKey));
            });
    }
    void TearDown() override
    {
        foundation::NotificationCenter::defaultCenter().removeObserver(this);
        unsetenv("LANGUAGE");
        foundation::Bundle::resetMain();
        UiTest::TearDown();
    }
    void useLanguage(const char* language)
    {
        setenv("LANGUAGE", language, 1);
        foundation::Bundle::resetMain();
    }
    std::vector<std::string> row(const Keyboard& keyboard, float top)
    {
        std::vector<std::string> letters;
        for (const auto& key : keyboard.keys())
            if (key.kind == Keyboard::Key::Kind::Character && key.frame.minY() == top)
                letters.push_back(key.text);
        return letters;
    }
    std::string caption(const Keyboard& keyboard, Keyboard::Key::Kind kind)
    {
        for (const auto& key : keyboard.keys())
            if (key.kind == kind)
                return key.text;
        return {};
    }

    std::shared_ptr<Window> window;
    std::shared_ptr<TextField> field;
    std::vector<std::string> heard;
};

} // namespace

TEST_F(KeyboardPresenceTest, WhereTheSystemTypesNoKeysAreDrawnAndNothingIsCovered)
{
    Application::sharedApplication().setKeyboardKind(KeyboardKind::System);
    ASSERT_TRUE(field->becomeFirstResponder());
    Keyboard& keyboard = window->keyboard();
    EXPECT_TRUE(keyboard.isShown());
    EXPECT_FALSE(keyboard.isDrawn());
    EXPECT_EQ(keyboard.superview(), nullptr) << "no keys in the window";
    EXPECT_EQ(keyboard.coveredHeight(), 0);
    advance(Keyboard::kAnimationDuration + 0.05);
    EXPECT_EQ(heard, (std::vector<std::string> { "KeyboardWillShowNotification {{0, 0}, {320, 0}} {160, 480}",
                         "KeyboardDidShowNotification {{0, 0}, {320, 0}} {160, 480}" }));
    // Nothing is drawn over the bottom of the screen.
    auto screen = renderScreen(*window);
    EXPECT_EQ(screen->bitmap().pixelAt(160, 400), (gfx::Pixel { 0, 0, 0, 255 }));

    // The desktop's own keys appear: their height is announced as a new show.
    heard.clear();
    Application::sharedApplication().setSystemKeyboardHeight(180);
    EXPECT_EQ(keyboard.coveredHeight(), 180);
    advance(Keyboard::kAnimationDuration + 0.05);
    EXPECT_EQ(heard, (std::vector<std::string> { "KeyboardWillShowNotification {{0, 0}, {320, 180}} {160, 390}",
                         "KeyboardDidShowNotification {{0, 0}, {320, 180}} {160, 390}" }));
    Application::sharedApplication().setSystemKeyboardHeight(0);

    heard.clear();
    ASSERT_TRUE(field->resignFirstResponder());
    advance(Keyboard::kAnimationDuration + 0.05);
    EXPECT_EQ(heard, (std::vector<std::string> { "KeyboardWillHideNotification {{0, 0}, {320, 0}} {160, 480}",
                         "KeyboardDidHideNotification {{0, 0}, {320, 0}} {160, 480}" }));
    EXPECT_FALSE(keyboard.isShown());
}

TEST_F(KeyboardPresenceTest, OnATouchScreenTheKeysAreDrawnInTheLanguagesLayout)
{
    Application::sharedApplication().setKeyboardKind(KeyboardKind::OnScreen);
    ASSERT_TRUE(field->becomeFirstResponder());
    Keyboard& keyboard = window->keyboard();
    EXPECT_TRUE(keyboard.isDrawn());
    EXPECT_EQ(keyboard.superview(), window.get());
    EXPECT_EQ(keyboard.coveredHeight(), Keyboard::kHeight);
    advance(Keyboard::kAnimationDuration + 0.05);
    EXPECT_EQ(heard.back(), "KeyboardDidShowNotification {{0, 0}, {320, 216}} {160, 372}");
    EXPECT_EQ(row(keyboard, 10), (std::vector<std::string> { "q", "w", "e", "r", "t", "y", "u", "i", "o", "p" }));
    EXPECT_EQ(caption(keyboard, Keyboard::Key::Kind::Space), "space");
    EXPECT_EQ(caption(keyboard, Keyboard::Key::Kind::Return), "Done");
    ASSERT_TRUE(field->resignFirstResponder());
    advance(1);

    // German: QWERTZ with the umlauts, eleven keys a row, all inside the keyboard.
    useLanguage("de");
    ASSERT_TRUE(field->becomeFirstResponder());
    advance(1);
    EXPECT_EQ(row(keyboard, 10), (std::vector<std::string> { "q", "w", "e", "r", "t", "z", "u", "i", "o", "p", "\u00fc" }));
    EXPECT_EQ(row(keyboard, 64), (std::vector<std::string> { "a", "s", "d", "f", "g", "h", "j", "k", "l", "\u00f6", "\u00e4" }));
    EXPECT_EQ(row(keyboard, 118), (std::vector<std::string> { "y", "x", "c", "v", "b", "n", "m" }));
    EXPECT_EQ(caption(keyboard, Keyboard::Key::Kind::Space), "Leerzeichen");
    EXPECT_EQ(caption(keyboard, Keyboard::Key::Kind::Return), "Fertig");
    for (const auto& key : keyboard.keys()) {
        EXPECT_GE(key.frame.minX(), 0) << key.text;
        EXPECT_LE(key.frame.maxX(), 320) << key.text;
    }
    // Shift makes the umlaut a capital, and the key types it.
    for (const auto& key : keyboard.keys())
        if (key.kind == Keyboard::Key::Kind::Shift) {
            const gfx::Point p = keyboard.convertPointToView(key.frame.center(), nullptr);
            window->sendTouch(1, TouchPhase::Began, p);
            window->sendTouch(1, TouchPhase::Ended, p);
        }
    EXPECT_EQ(row(keyboard, 10).back(), "\u00dc");
    ASSERT_TRUE(field->resignFirstResponder());
    advance(1);

    // French: AZERTY.
    useLanguage("fr");
    ASSERT_TRUE(field->becomeFirstResponder());
    advance(1);
    EXPECT_EQ(row(keyboard, 10), (std::vector<std::string> { "a", "z", "e", "r", "t", "y", "u", "i", "o", "p" }));
    EXPECT_EQ(row(keyboard, 64), (std::vector<std::string> { "q", "s", "d", "f", "g", "h", "j", "k", "l", "m" }));
    EXPECT_EQ(row(keyboard, 118).front(), "w");
    EXPECT_EQ(caption(keyboard, Keyboard::Key::Kind::Space), "espace");
    EXPECT_EQ(caption(keyboard, Keyboard::Key::Kind::Return), "OK");
}
