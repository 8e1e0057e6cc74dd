// The screen as large as the host's window: windows follow its size, views autoresize from the
// designed 320 x 480, and alerts, sheets and the drawn keys place themselves for the new size.
#include "UiTestSupport.h"

#include "ui/ActionSheet.h"
#include "ui/AlertView.h"
#include "ui/Keyboard.h"
#include "ui/TextField.h"
#include "ui/ViewController.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace ui;
using gfx::Rect;

namespace {

class ScreenSizeTest : public uitest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        window = std::make_shared<Window>(Screen::mainScreen().bounds());
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        Screen::mainScreen().setSize(Screen::kDesignSize);
        window.reset();
        UiTest::TearDown();
    }
    static Rect onScreen(const View& view) { return view.convertRectToView(view.bounds(), nullptr); }

    std::shared_ptr<Window> window;
};

class Delegate : public AlertViewDelegate, public ActionSheetDelegate {
public:
    void alertViewClickedButtonAtIndex(AlertView&, int) override { }
    void actionSheetClickedButtonAtIndex(ActionSheet&, int) override { }
};

} // namespace

TEST_F(ScreenSizeTest, WindowsThatCoverTheScreenFollowItsSize)
{
    auto& screen = Screen::mainScreen();
    auto small = std::make_shared<Window>(Rect(10, 10, 100, 100));
    auto content = std::make_shared<View>(screen.applicationFrame());
    content->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    window->addContentView(content);

    screen.setSize({ 600, 800 });
    EXPECT_EQ(screen.bounds(), Rect(0, 0, 600, 800));
    EXPECT_EQ(screen.applicationFrame(), Rect(0, 20, 600, 780));
    EXPECT_EQ(screen.designApplicationFrame(), Rect(0, 20, 320, 460)) << "the designed frame stays";
    EXPECT_EQ(window->frame(), Rect(0, 0, 600, 800));
    EXPECT_EQ(content->frame(), Rect(0, 20, 600, 780));
    EXPECT_EQ(small->frame(), Rect(10, 10, 100, 100)) << "a window of its own size keeps it";
    EXPECT_TRUE(window->needsDisplay());

    // Never below the designed size; nonsense is ignored; back to the designed size exactly.
    screen.setSize({ 200, 2000 });
    EXPECT_EQ(screen.bounds().size, gfx::Size(320, 2000));
    for (gfx::Size nonsense : { gfx::Size { std::nanf(""), 500 }, gfx::Size { 500, INFINITY }, gfx::Size { 1e30f, 600 } }) {
        screen.setSize(nonsense);
        EXPECT_EQ(screen.bounds().size, gfx::Size(320, 2000));
    }
    screen.setSize({ 0, 0 });
    EXPECT_EQ(screen.bounds().size, Screen::kDesignSize);
    EXPECT_EQ(content->frame(), Rect(0, 20, 320, 460));
}

TEST_F(ScreenSizeTest, AControllersViewIsBuiltAtTheDesignedSizeAndLaidOutForTheScreen)
{
    class Centred : public ViewController {
    public:
        void viewDidLayoutSubviews() override
        {
            ++layouts;
            marker->setCenter(view()->bounds().center());
        }
        std::shared_ptr<View> marker = std::make_shared<View>(Rect(0, 0, 10, 10));
        int layouts { 0 };
    };
    Screen::mainScreen().setSize({ 700, 900 });
    auto controller = std::make_shared<Centred>();
    auto view = controller->view();
    EXPECT_EQ(view->frame(), Rect(0, 20, 320, 460)) << "built at the designed size";
    view->addSubview(controller->marker);
    view->setFrame(Screen::mainScreen().applicationFrame());
    window->addContentView(view);
    window->layoutIfNeeded();
    EXPECT_EQ(controller->layouts, 1);
    EXPECT_EQ(onScreen(*controller->marker).center(), gfx::Point(350, 460));
    window->layoutIfNeeded();
    EXPECT_EQ(controller->layouts, 1) << "only after a change";
    Screen::mainScreen().setSize({ 400, 500 });
    window->layoutIfNeeded();
    EXPECT_EQ(controller->layouts, 2);
    EXPECT_EQ(onScreen(*controller->marker).center(), gfx::Point(200, 260));
}

TEST_F(ScreenSizeTest, AlertsAndSheetsPlaceThemselvesForANewSize)
{
    Delegate delegate;
    auto alert = std::make_shared<AlertView>("Storage Full", "The disk is full.", &delegate, "OK");
    alert->show();
    advance(0.5);
    auto centred = [&](const View& panel) { return std::abs(onScreen(panel).midX() - Screen::mainScreen().bounds().midX()) < 1; };
    ASSERT_EQ(alert->buttons().size(), 1u);
    const View& alertPanel = *alert->buttons()[0]->superview();
    Screen::mainScreen().setSize({ 800, 600 });
    window->layoutIfNeeded();
    EXPECT_EQ(alert->frame(), Rect(0, 0, 800, 600));
    EXPECT_TRUE(centred(alertPanel)) << onScreen(alertPanel).midX();
    EXPECT_NEAR(onScreen(alertPanel).midY(), 300, 1);
    alert->dismissWithClickedButtonIndex(0, false);

    // A sheet spans a phone-wide screen and keeps the phone's width, centred, on a wide one.
    auto host = std::make_shared<View>(Screen::mainScreen().applicationFrame());
    window->addContentView(host);
    auto sheet = std::make_shared<ActionSheet>("", &delegate);
    sheet->addButtonWithTitle("Choose Existing Photo");
    sheet->setCancelButtonIndex(sheet->addButtonWithTitle("Cancel"));
    sheet->showInView(*host);
    advance(0.5);
    const View& sheetPanel = *sheet->buttons()[0]->superview();
    EXPECT_EQ(onScreen(sheetPanel).width(), 320);
    EXPECT_TRUE(centred(sheetPanel));
    EXPECT_EQ(onScreen(sheetPanel).maxY(), 600) << "on the bottom edge";
    Screen::mainScreen().setSize({ 400, 900 });
    window->layoutIfNeeded();
    EXPECT_EQ(onScreen(sheetPanel).width(), 400);
    EXPECT_EQ(onScreen(sheetPanel).maxY(), 900);
    sheet->dismissWithClickedButtonIndex(1, false);
}

TEST_F(ScreenSizeTest, TheDrawnKeysStayTheirSizeInTheMiddleOfAWideScreen)
{
    Application::sharedApplication().setKeyboardKind(KeyboardKind::OnScreen);
    auto field = std::make_shared<TextField>(Rect(20, 60, 280, 30));
    window->addContentView(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    advance(0.5);
    Keyboard& keys = window->keyboard();
    auto spaceBar = [&] {
        for (const auto& key : keys.keys())
            if (key.kind == Keyboard::Key::Kind::Space)
                return keys.convertRectToView(key.frame, nullptr);
        return Rect();
    };
    const Rect designed = spaceBar();
    Screen::mainScreen().setSize({ 600, 700 });
    window->layoutIfNeeded();
    EXPECT_EQ(onScreen(keys).width(), 600);
    EXPECT_EQ(onScreen(keys).maxY(), 700) << "still on the bottom edge";
    const Rect wide = spaceBar();
    EXPECT_EQ(wide.size, designed.size);
    EXPECT_EQ(wide.midX(), 300);
    field->resignFirstResponder();
}
