#pragma once

#include "ui/NavigationBar.h"
#include "ui/ViewController.h"

#include <memory>
#include <vector>

namespace ui {

/// A stack of screens under a navigation bar: pushing slides the new screen in from the
/// right, popping slides it back out; the bar shows the top screen's navigation item with a
/// back button titled after the screen below. Appearance calls reach the screens as the
/// stack changes while the controller is on screen. A screen that hides the bottom bar when
/// pushed hides the tab bar of the tab bar controller around, as long as it is on the stack.
/// Main thread only.
class NavigationController : public ViewController {
public:
    explicit NavigationController(std::shared_ptr<ViewController> rootViewController);
    ~NavigationController() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_stack; }
    std::shared_ptr<ViewController> topViewController() const { return m_stack.empty() ? nullptr : m_stack.back(); }
    /// The top controller, or the modal controller it presents.
    std::shared_ptr<ViewController> visibleViewController() const;
    /// Pushes controller; a null controller or one that has a parent already is refused with
    /// a log line.
    void pushViewController(std::shared_ptr<ViewController> controller, bool animated);
    /// Pops the top controller and returns it; null (nothing changes) when only the root is left.
    std::shared_ptr<ViewController> popViewControllerAnimated(bool animated);
    /// Pops every controller above the root; returns them, bottom first.
    std::vector<std::shared_ptr<ViewController>> popToRootViewControllerAnimated(bool animated);
    std::shared_ptr<NavigationBar> navigationBar();

    void loadView() override;
    /// Escape or Alt+Left goes back one screen (animated) when there is one to go back to.
    void keyPressed(Key key) override;
    bool performKeyCommand(const KeyCommand& command) override;
    /// The root controller's tab item: a tab shows the screen at the root of its stack.
    std::shared_ptr<TabBarItem> tabBarItem() override;
    /// Whether some controller on the stack asks for the bottom bar to be hidden.
    bool wantsBottomBarHidden() const;

    static constexpr double kTransitionDuration = 0.35;

protected:
    std::vector<ViewController*> visibleChildViewControllers() const override;

private:
    enum class Direction { Push, Pop };
    /// Puts to's view in place of from's, with the appearance calls when on screen.
    void transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to, Direction direction, bool animated);
    gfx::Rect contentFrame();
    void updateBottomBar(bool animated, Direction direction);

    std::vector<std::shared_ptr<ViewController>> m_stack;
    std::shared_ptr<NavigationBar> m_bar;
};

} // namespace ui
