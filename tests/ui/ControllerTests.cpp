#include "UiTestSupport.h"

#include "ui/Label.h"
#include "ui/NavigationController.h"
#include "ui/TabBarController.h"

#include <gtest/gtest.h>

using namespace ui;
using gfx::Point;
using gfx::Rect;

namespace {

using Log = std::vector<std::string>;

// A screen that writes its life into a shared log.
class Screen : public ViewController {
public:
    Screen(std::string name, std::shared_ptr<Log> log)
        : m_name(std::move(name))
        , m_log(std::move(log))
    {
        setTitle(m_name);
    }
    void loadView() override
    {
        m_log->push_back(m_name + " loadView");
        ViewController::loadView();
    }
    void viewDidLoad() override { m_log->push_back(m_name + " viewDidLoad"); }
    void viewWillAppear(bool) override { m_log->push_back(m_name + " willAppear"); }
    void viewDidAppear(bool) override { m_log->push_back(m_name + " didAppear"); }
    void viewWillDisappear(bool) override { m_log->push_back(m_name + " willDisappear"); }
    void viewDidDisappear(bool) override { m_log->push_back(m_name + " didDisappear"); }
    void didReceiveMemoryWarning() override { m_log->push_back(m_name + " memoryWarning"); }

private:
    std::string m_name;
    std::shared_ptr<Log> m_log;
};

class ControllerTest : public uitest::UiTest {
protected:
    std::shared_ptr<Screen> screen(const std::string& name) { return std::make_shared<Screen>(name, log); }

    // A window showing tabs of navigation stacks, as the application builds it.
    void launch(std::vector<std::shared_ptr<ViewController>> roots)
    {
        tabs = std::make_shared<TabBarController>();
        std::vector<std::shared_ptr<ViewController>> stacks;
        for (auto& root : roots) {
            auto navigation = std::make_shared<NavigationController>(root);
            navigation->navigationBar()->setBarStyle(BarStyle::Black);
            stacks.push_back(navigation);
        }
        tabs->setViewControllers(stacks);
        window = std::make_shared<Window>();
        window->addSubview(tabs->view());
        window->makeKeyAndVisible();
    }
    NavigationController& stack(size_t i) { return static_cast<NavigationController&>(*tabs->viewControllers()[i]); }
    Log take()
    {
        Log taken = *log;
        log->clear();
        return taken;
    }

    std::shared_ptr<Log> log = std::make_shared<Log>();
    std::shared_ptr<TabBarController> tabs;
    std::shared_ptr<Window> window;
};

} // namespace

TEST_F(ControllerTest, ViewIsLoadedOnceOnFirstNeed)
{
    auto s = screen("A");
    EXPECT_FALSE(s->isViewLoaded());
    auto view = s->view();
    EXPECT_EQ(s->view(), view);
    EXPECT_EQ(take(), (Log { "A loadView", "A viewDidLoad" }));
    EXPECT_EQ(view->frame(), Rect(0, 20, 320, 460));
    EXPECT_EQ(view->nextResponder(), s.get());
    EXPECT_TRUE(s->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::Portrait));
    EXPECT_FALSE(s->shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeLeft));
}

TEST_F(ControllerTest, AppearanceOrderThroughLaunchPushAndPop)
{
    auto first = screen("Studio");
    launch({ first, screen("Recordings") });
    EXPECT_EQ(take(), (Log { "Studio loadView", "Studio viewDidLoad", "Studio willAppear", "Studio didAppear" }));
    // The screen fills the room between the navigation bar and the tab bar.
    EXPECT_EQ(first->view()->convertRectToView(first->view()->bounds(), nullptr), Rect(0, 64, 320, 367));

    auto detail = screen("Playback");
    detail->setHidesBottomBarWhenPushed(true);
    stack(0).pushViewController(detail, true);
    EXPECT_EQ(take(), (Log { "Playback loadView", "Playback viewDidLoad", "Studio willDisappear", "Playback willAppear" }));
    EXPECT_EQ(stack(0).navigationBar()->backButtonTitle(), "Studio");
    advance(NavigationController::kTransitionDuration + 0.05);
    EXPECT_EQ(take(), (Log { "Studio didDisappear", "Playback didAppear" }));
    EXPECT_EQ(first->view()->superview(), nullptr);
    EXPECT_TRUE(tabs->isTabBarHidden());
    EXPECT_EQ(detail->view()->frame().height(), 460 - 44);

    EXPECT_EQ(stack(0).popViewControllerAnimated(true), detail);
    EXPECT_EQ(take(), (Log { "Playback willDisappear", "Studio willAppear" }));
    advance(NavigationController::kTransitionDuration + 0.05);
    EXPECT_EQ(take(), (Log { "Playback didDisappear", "Studio didAppear" }));
    EXPECT_FALSE(tabs->isTabBarHidden());
    EXPECT_EQ(first->view()->frame().height(), 367);
    EXPECT_EQ(stack(0).popViewControllerAnimated(true), nullptr);
    EXPECT_EQ(detail->parentViewController(), nullptr);
}

TEST_F(ControllerTest, TabSwitchAndModalPresentationCallAppearanceInOrder)
{
    launch({ screen("Studio"), screen("Recordings") });
    take();
    // A tap on the second tab.
    Rect second = tabs->tabBar()->rectForItemAtIndex(1);
    Point tap = tabs->tabBar()->convertPointToView(second.center(), nullptr);
    window->sendTouch(1, TouchPhase::Began, tap);
    window->sendTouch(1, TouchPhase::Ended, tap);
    EXPECT_EQ(tabs->selectedIndex(), 1);
    EXPECT_EQ(take(), (Log { "Studio willDisappear", "Recordings loadView", "Recordings viewDidLoad", "Recordings willAppear", "Studio didDisappear", "Recordings didAppear" }));

    auto editor = screen("Editor");
    stack(1).topViewController()->presentModalViewController(editor, true);
    EXPECT_EQ(take(), (Log { "Editor loadView", "Editor viewDidLoad", "Recordings willDisappear", "Editor willAppear" }));
    EXPECT_EQ(editor->parentViewController(), tabs.get());
    advance(0.5);
    EXPECT_EQ(take(), (Log { "Recordings didDisappear", "Editor didAppear" }));
    EXPECT_EQ(editor->view()->frame(), Rect(0, 20, 320, 460));
    EXPECT_TRUE(tabs->view()->isHidden());

    // The editor dismisses itself; the screen under it appears again.
    editor->dismissModalViewControllerAnimated(true);
    EXPECT_EQ(take(), (Log { "Editor willDisappear", "Recordings willAppear" }));
    advance(0.5);
    EXPECT_EQ(take(), (Log { "Editor didDisappear", "Recordings didAppear" }));
    EXPECT_EQ(editor->view()->superview(), nullptr);
    EXPECT_EQ(tabs->modalViewController(), nullptr);
    EXPECT_FALSE(tabs->view()->isHidden());
}

TEST_F(ControllerTest, ShownTitleFollowsTabsStacksAndModals)
{
    launch({ screen("Studio"), screen("Recordings") });
    EXPECT_EQ(ViewController::shownTitle(*window), "Studio");
    tabs->setSelectedIndex(1);
    EXPECT_EQ(ViewController::shownTitle(*window), "Recordings");

    auto playback = screen("Playback");
    stack(1).pushViewController(playback, false);
    EXPECT_EQ(ViewController::shownTitle(*window), "Playback");
    // A screen that only names its navigation item is shown by that name.
    playback->navigationItem()->setTitle("My memo");
    EXPECT_EQ(ViewController::shownTitle(*window), "My memo");

    auto editor = screen("Editor");
    playback->presentModalViewController(editor, false);
    EXPECT_EQ(ViewController::shownTitle(*window), "Editor");
    editor->dismissModalViewControllerAnimated(false);
    EXPECT_EQ(ViewController::shownTitle(*window), "My memo");
    Window empty;
    EXPECT_EQ(ViewController::shownTitle(empty), "");
}

TEST_F(ControllerTest, TabsShowTitlesImagesAndBadges)
{
    auto recordings = screen("Recordings");
    launch({ screen("Studio"), recordings });
    auto items = tabs->tabBar()->items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->title(), "Studio");
    EXPECT_EQ(items[1], recordings->tabBarItem());

    auto screenBefore = uitest::UiTest::renderScreen(*window);
    auto redIn = [](const gfx::BitmapContext& screen, Rect area) {
        int red = 0;
        for (int y = int(area.minY()); y < int(area.maxY()); ++y)
            for (int x = int(area.minX()); x < int(area.maxX()); ++x) {
                auto p = screen.bitmap().pixelAt(x, y);
                red += p.red > 180 && p.green < 80 && p.blue < 80;
            }
        return red;
    };
    Rect tab = tabs->tabBar()->convertRectToView(tabs->tabBar()->rectForItemAtIndex(1), nullptr);
    EXPECT_EQ(redIn(*screenBefore, tab), 0);
    recordings->tabBarItem()->setBadgeValue("2");
    EXPECT_EQ(tabs->tabBar()->items()[1]->badgeValue(), "2");
    auto screenAfter = uitest::UiTest::renderScreen(*window);
    EXPECT_GT(redIn(*screenAfter, tab), 40);
    recordings->tabBarItem()->setBadgeValue(std::nullopt);
    EXPECT_EQ(redIn(*uitest::UiTest::renderScreen(*window), tab), 0);
}

TEST_F(ControllerTest, EditButtonItemTogglesEditing)
{
    auto s = screen("Categories");
    auto item = s->editButtonItem();
    EXPECT_EQ(item->title(), "Edit");
    item->sendAction();
    EXPECT_TRUE(s->isEditing());
    EXPECT_EQ(item->title(), "Done");
    EXPECT_EQ(item->style(), BarButtonItemStyle::Done);
    s->setEditing(false, false);
    EXPECT_EQ(item->title(), "Edit");
}

TEST_F(ControllerTest, MemoryWarningsReachEveryLiveController)
{
    auto a = screen("A");
    {
        auto b = screen("B");
        Application::sharedApplication().raiseMemoryWarning();
    }
    Application::sharedApplication().raiseMemoryWarning();
    EXPECT_EQ(take(), (Log { "A memoryWarning", "B memoryWarning", "A memoryWarning" }));
}
