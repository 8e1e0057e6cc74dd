#pragma once

#include "ui/TabBar.h"
#include "ui/ViewController.h"

#include <memory>
#include <vector>

namespace ui {

class TabBarController;

/// What a tab bar controller tells its delegate (optional operations). Main thread.
class TabBarControllerDelegate {
public:
    virtual ~TabBarControllerDelegate() = default;
    virtual bool tabBarControllerShouldSelectViewController(TabBarController&, ViewController&) { return true; }
    virtual void tabBarControllerDidSelectViewController(TabBarController&, ViewController&) { }
};

/// Screens side by side behind a tab bar 49 points tall along the bottom: one tab per
/// screen, in order, showing the screen's tab bar item (title, image, badge). Tapping a tab
/// shows its screen (tapping the selected tab of a navigation stack pops it to its root).
/// Main thread only.
class TabBarController : public ViewController {
public:
    TabBarController();
    ~TabBarController() override;

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return m_controllers; }
    /// Replaces the screens; controllers that have a parent already are left out with a log
    /// line. The selection stays on the same screen if it is still there, else the first.
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool animated = false);
    std::shared_ptr<ViewController> selectedViewController() const;
    /// Shows the screen; one that is not among the tabs is ignored.
    void setSelectedViewController(const std::shared_ptr<ViewController>& controller);
    /// -1 with no screens.
    int selectedIndex() const { return m_selectedIndex; }
    /// An index out of range is ignored.
    void setSelectedIndex(int index);
    std::shared_ptr<TabBar> tabBar();
    /// Not owned; whoever sets it clears it before it goes away.
    void setDelegate(TabBarControllerDelegate* delegate) { m_delegate = delegate; }

    /// Hides or shows the tab bar, the selected screen taking or giving back its room. When
    /// animated the bar slides out to the left (leftward true) or in from the left.
    void setTabBarHidden(bool hidden, bool animated, bool leftward);
    bool isTabBarHidden() const { return m_tabBarHidden; }
    /// Shows the screens' current tab bar items again (after one replaced its item).
    void refreshTabBarItems();

    void loadView() override;
    /// Control and a digit from 1 shows that tab, as a tap on it would.
    bool performKeyCommand(const KeyCommand& command) override;

protected:
    std::vector<ViewController*> visibleChildViewControllers() const override;

private:
    void select(int index, bool fromUser);
    gfx::Rect contentFrame();

    std::vector<std::shared_ptr<ViewController>> m_controllers;
    std::shared_ptr<TabBar> m_tabBar;
    int m_selectedIndex { -1 };
    bool m_tabBarHidden { false };
    TabBarControllerDelegate* m_delegate { nullptr };
};

} // namespace ui
