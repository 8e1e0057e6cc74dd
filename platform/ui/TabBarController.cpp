#include "ui/TabBarController.h"

#include "ui/NavigationController.h"
#include "ui/Screen.h"

#include "foundation/Log.h"

#include <algorithm>

namespace ui {

TabBarController::TabBarController()
{
    m_tabBar = std::make_shared<TabBar>(gfx::Rect(0, 0, 320, TabBar::kHeight));
    m_tabBar->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleTopMargin);
    m_tabBar->setSelectionHandler([this](TabBarItem& item) {
        auto keep = sharedController();
        for (size_t i = 0; i < m_controllers.size(); ++i)
            if (m_controllers[i]->tabBarItem().get() == &item) {
                select(int(i), true);
                return;
            }
    });
}

TabBarController::~TabBarController()
{
    m_tabBar->setSelectionHandler(nullptr);
    for (auto& controller : m_controllers)
        setParentViewControllerOf(*controller, nullptr);
}

std::shared_ptr<TabBar> TabBarController::tabBar()
{
    return m_tabBar;
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const
{
    return m_selectedIndex >= 0 ? m_controllers[size_t(m_selectedIndex)] : nullptr;
}

std::vector<ViewController*> TabBarController::visibleChildViewControllers() const
{
    if (auto selected = selectedViewController())
        return { selected.get() };
    return {};
}

void TabBarController::refreshTabBarItems()
{
    std::vector<std::shared_ptr<TabBarItem>> items;
    for (auto& controller : m_controllers)
        items.push_back(controller->tabBarItem());
    m_tabBar->setItems(items);
    if (auto selected = selectedViewController())
        m_tabBar->setSelectedItem(selected->tabBarItem());
}

void TabBarController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers, bool)
{
    auto keep = sharedController();
    std::shared_ptr<ViewController> previous = selectedViewController();
    std::vector<std::shared_ptr<ViewController>> accepted;
    for (auto& controller : controllers) {
        if (!controller)
            continue;
        if (controller->parentViewController() && controller->parentViewController() != this) {
            foundation::log("A view controller that is already shown cannot be a tab");
            continue;
        }
        accepted.push_back(controller);
    }
    // The screen shown so far leaves unless it stays among the tabs.
    const bool stays = previous && std::find(accepted.begin(), accepted.end(), previous) != accepted.end();
    if (previous && !stays) {
        if (isAppearing())
            previous->beginAppearanceTransition(false, false);
        if (previous->isViewLoaded())
            previous->view()->removeFromSuperview();
        if (isAppearing())
            previous->endAppearanceTransition();
    }
    for (auto& controller : m_controllers)
        if (std::find(accepted.begin(), accepted.end(), controller) == accepted.end())
            setParentViewControllerOf(*controller, nullptr);
    m_controllers = std::move(accepted);
    for (auto& controller : m_controllers)
        setParentViewControllerOf(*controller, this);
    m_selectedIndex = -1;
    if (stays)
        m_selectedIndex = int(std::find(m_controllers.begin(), m_controllers.end(), previous) - m_controllers.begin());
    refreshTabBarItems();
    if (!stays && !m_controllers.empty())
        select(0, false);
}

void TabBarController::setSelectedViewController(const std::shared_ptr<ViewController>& controller)
{
    auto it = std::find(m_controllers.begin(), m_controllers.end(), controller);
    if (it != m_controllers.end())
        select(int(it - m_controllers.begin()), false);
}

void TabBarController::setSelectedIndex(int index)
{
    if (index >= 0 && size_t(index) < m_controllers.size())
        select(index, false);
}

gfx::Rect TabBarController::contentFrame()
{
    gfx::Rect b = view()->bounds();
    float bar = m_tabBarHidden ? 0 : TabBar::kHeight;
    return gfx::Rect(0, 0, b.width(), std::max(b.height() - bar, 0.0f));
}

bool TabBarController::performKeyCommand(const KeyCommand& command)
{
    const std::string& c = command.character;
    if (command.control && !command.alt && c.size() == 1 && c[0] >= '1' && c[0] <= '9') {
        const size_t index = size_t(c[0] - '1');
        if (index < m_controllers.size()) {
            select(int(index), true);
            return true;
        }
    }
    return ViewController::performKeyCommand(command);
}

void TabBarController::select(int index, bool fromUser)
{
    auto keep = sharedController();
    std::shared_ptr<ViewController> to = m_controllers[size_t(index)];
    std::shared_ptr<ViewController> from = selectedViewController();
    if (fromUser && m_delegate && !m_delegate->tabBarControllerShouldSelectViewController(*this, *to)) {
        m_tabBar->setSelectedItem(from ? from->tabBarItem() : nullptr);
        return;
    }
    if (to == from) {
        m_tabBar->setSelectedItem(to->tabBarItem());
        if (fromUser) {
            if (auto* navigation = dynamic_cast<NavigationController*>(to.get()))
                navigation->popToRootViewControllerAnimated(true);
            if (m_delegate)
                m_delegate->tabBarControllerDidSelectViewController(*this, *to);
        }
        return;
    }
    m_selectedIndex = index;
    m_tabBar->setSelectedItem(to->tabBarItem());
    const bool onScreen = isAppearing();
    if (isViewLoaded()) {
        if (onScreen) {
            if (from)
                from->beginAppearanceTransition(false, false);
            to->beginAppearanceTransition(true, false);
        }
        if (from && from->isViewLoaded())
            from->view()->removeFromSuperview();
        // The bar follows the stack of the screen shown.
        auto* navigation = dynamic_cast<NavigationController*>(to.get());
        m_tabBarHidden = navigation && navigation->wantsBottomBarHidden();
        m_tabBar->setHidden(m_tabBarHidden);
        m_tabBar->setTransform({});
        auto child = to->view();
        child->setFrame(contentFrame());
        view()->insertSubviewBelowSubview(child, m_tabBar.get());
        if (onScreen) {
            if (from)
                from->endAppearanceTransition();
            to->endAppearanceTransition();
        }
    }
    if (fromUser && m_delegate)
        m_delegate->tabBarControllerDidSelectViewController(*this, *to);
}

void TabBarController::loadView()
{
    auto view = std::make_shared<View>(Screen::mainScreen().applicationFrame());
    view->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(gfx::Color::black());
    const gfx::Rect b = view->bounds();
    m_tabBar->setFrame(gfx::Rect(0, b.height() - TabBar::kHeight, b.width(), TabBar::kHeight));
    view->addSubview(m_tabBar);
    setView(view);
    if (auto selected = selectedViewController()) {
        auto child = selected->view();
        child->setFrame(contentFrame());
        view->insertSubviewBelowSubview(child, m_tabBar.get());
    }
}

void TabBarController::setTabBarHidden(bool hidden, bool animated, bool leftward)
{
    if (hidden == m_tabBarHidden)
        return;
    m_tabBarHidden = hidden;
    if (!isViewLoaded())
        return;
    auto keep = sharedController();
    // The screen takes the bar's room at once when the bar goes, and gives it back at the end.
    auto resize = [weak = std::weak_ptr<Responder>(weak_from_this())] {
        if (auto self = std::static_pointer_cast<TabBarController>(weak.lock()))
            if (auto shown = self->selectedViewController(); shown && shown->isViewLoaded())
                shown->view()->setFrame(self->contentFrame());
    };
    const float width = view()->bounds().width();
    const float away = leftward ? -width : width;
    if (!animated) {
        m_tabBar->setTransform({});
        m_tabBar->setHidden(hidden);
        resize();
        return;
    }
    if (hidden) {
        resize();
        View::beginAnimations("tabBar");
        View::setAnimationDuration(NavigationController::kTransitionDuration);
        View::setAnimationDidStopSelector([bar = m_tabBar, weak = std::weak_ptr<Responder>(weak_from_this())](const std::string&, bool, void*) {
            auto self = std::static_pointer_cast<TabBarController>(weak.lock());
            if (self && self->m_tabBarHidden) {
                bar->setHidden(true);
                bar->setTransform({});
            }
        });
        m_tabBar->setTransform(gfx::AffineTransform::makeTranslation(away, 0));
        View::commitAnimations();
        return;
    }
    m_tabBar->setHidden(false);
    m_tabBar->setTransform(gfx::AffineTransform::makeTranslation(-away, 0));
    View::beginAnimations("tabBar");
    View::setAnimationDuration(NavigationController::kTransitionDuration);
    View::setAnimationDidStopSelector([resize](const std::string&, bool, void*) { resize(); });
    m_tabBar->setTransform({});
    View::commitAnimations();
}

} // namespace ui
