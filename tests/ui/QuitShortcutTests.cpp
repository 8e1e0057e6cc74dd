// Control+Q ends the application wherever the keys are, and the list of shortcuts says so.

#include "UiTestSupport.h"

#include "ui/Label.h"

#include <gtest/gtest.h>

using namespace ui;

namespace {

class QuitShortcutTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        Application::sharedApplication().setTerminationHandler([this] { ++terminated; });
        window = std::make_shared<Window>();
        window->makeKeyAndVisible();
    }
    static KeyCommand control(const std::string& c) { return { c, std::nullopt, true, false }; }
    static bool lists(const View& view, const std::string& text)
    {
        if (auto* label = dynamic_cast<const Label*>(&view); label && label->text() == text)
            return true;
        for (const auto& subview : view.subviews())
            if (lists(*subview, text))
                return true;
        return false;
    }

    std::shared_ptr<Window> window;
    int terminated = 0;
};

} // namespace

TEST_F(QuitShortcutTest, ControlQEndsTheApplicationOnceAndIsListed)
{
    // The list of shortcuts shows it, and while it shows Control+Q still quits.
    EXPECT_TRUE(window->sendKeyCommand({ "", Key::Help }));
    ASSERT_TRUE(window->keyboardHelp());
    EXPECT_TRUE(lists(*window->keyboardHelp(), "Ctrl+Q"));
    EXPECT_FALSE(window->sendKeyCommand(control("w"))) << "other chords do nothing";
    EXPECT_TRUE(window->sendKeyCommand(control("q")));
    EXPECT_EQ(terminated, 1);
    EXPECT_TRUE(Application::sharedApplication().isTerminating());
    // Termination runs once.
    window->sendKeyCommand(control("Q"));
    EXPECT_EQ(terminated, 1);
}
