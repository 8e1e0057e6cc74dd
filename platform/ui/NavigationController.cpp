#include "ui/NavigationController.h"

#include "ui/Screen.h"
#include "ui/TabBarController.h"

#include "foundation/Log.h"

#include <algorithm>

namespace ui {

NavigationController::NavigationController(std::shared_ptr<ViewController> rootViewController)
{
    m_bar = std::make_shared<NavigationBar>(gfx::Rect(0, 0, 320, NavigationBar::kHeight));
    m_bar->setAutoresizingMask(ViewAutoresizingFlexibleWidth);
    m_bar->setBackAction([this] {
        auto keep = sharedController();
        popViewControllerAnimated(true);
    });
    if (rootViewController && !rootViewController->parentViewController()) {
        setParentViewControllerOf(*rootViewController, this);
        m_bar->pushNavigationItem(rootViewController->navigationItem(), false);
        m_stack.push_back(std::move(rootViewController));
    }
}

NavigationController::~NavigationController()
{
    m_bar->setBackAction(nullptr);
    for (auto& controller : m_stack)
        setParentViewControllerOf(*controller, nullptr);
}

std::shared_ptr<NavigationBar> NavigationController::navigationBar()
{
    return m_bar;
}

std::shared_ptr<ViewController> NavigationController::visibleViewController() const
{
    auto top = topViewController();
    return top && top->modalViewController() ? top->modalViewController() : top;
}

std::shared_ptr<TabBarItem> NavigationController::tabBarItem()
{
    return m_stack.empty() ? ViewController::tabBarItem() : m_stack.front()->tabBarItem();
}

void NavigationController::keyPressed(Key key)
{
    if (key == Key::Escape && m_stack.size() > 1)
        popViewControllerAnimated(true);
    else
        ViewController::keyPressed(key);
}

bool NavigationController::performKeyCommand(const KeyCommand& command)
{
    if ((command.is(Key::Escape) || command.is(Key::Left, false, true)) && m_stack.size() > 1) {
        popViewControllerAnimated(true);
        return true;
    }
    return ViewController::performKeyCommand(command);
}

std::vector<ViewController*> NavigationController::visibleChildViewControllers() const
{
    if (m_stack.empty())
        return {};
    return { m_stack.back().get() };
}

bool NavigationController::wantsBottomBarHidden() const
{
    return std::any_of(m_stack.begin() + (m_stack.empty() ? 0 : 1), m_stack.end(),
        [](const auto& c) { return c->hidesBottomBarWhenPushed(); });
}

void NavigationController::loadView()
{
    auto view = std::make_shared<View>(Screen::mainScreen().applicationFrame());
    view->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    view->setBackgroundColor(gfx::Color::black());
    view->setClipsToBounds(true);
    m_bar->setFrame(gfx::Rect(0, 0, view->bounds().width(), NavigationBar::kHeight));
    view->addSubview(m_bar);
    setView(view);
    if (auto top = topViewController()) {
        auto child = top->view();
        child->setFrame(contentFrame());
        view->insertSubviewBelowSubview(child, m_bar.get());
    }
}

gfx::Rect NavigationController::contentFrame()
{
    gfx::Rect b = view()->bounds();
    return gfx::Rect(0, NavigationBar::kHeight, b.width(), std::max(b.height() - NavigationBar::kHeight, 0.0f));
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> controller, bool animated)
{
    if (!controller || controller->parentViewController() || std::find(m_stack.begin(), m_stack.end(), controller) != m_stack.end()) {
        foundation::log("A view controller that is already shown cannot be pushed");
        return;
    }
    auto keep = sharedController();
    std::shared_ptr<ViewController> from = topViewController();
    setParentViewControllerOf(*controller, this);
    m_stack.push_back(controller);
    m_bar->pushNavigationItem(controller->navigationItem(), animated);
    updateBottomBar(animated, Direction::Push);
    transition(from, controller, Direction::Push, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewControllerAnimated(bool animated)
{
    if (m_stack.size() < 2)
        return nullptr;
    auto keep = sharedController();
    std::shared_ptr<ViewController> popped = m_stack.back();
    m_stack.pop_back();
    m_bar->popNavigationItemAnimated(animated);
    updateBottomBar(animated, Direction::Pop);
    transition(popped, m_stack.back(), Direction::Pop, animated);
    setParentViewControllerOf(*popped, nullptr);
    return popped;
}

std::vector<std::shared_ptr<ViewController>> NavigationController::popToRootViewControllerAnimated(bool animated)
{
    if (m_stack.size() < 2)
        return {};
    auto keep = sharedController();
    std::vector<std::shared_ptr<ViewController>> popped(m_stack.begin() + 1, m_stack.end());
    std::shared_ptr<ViewController> from = m_stack.back();
    m_stack.resize(1);
    m_bar->setItems({ m_stack.front()->navigationItem() }, animated);
    updateBottomBar(animated, Direction::Pop);
    transition(from, m_stack.front(), Direction::Pop, animated);
    for (auto& controller : popped)
        setParentViewControllerOf(*controller, nullptr);
    return popped;
}

void NavigationController::updateBottomBar(bool animated, Direction direction)
{
    if (TabBarController* tabs = tabBarController())
        tabs->setTabBarHidden(wantsBottomBarHidden(), animated && isAppearing(), direction == Direction::Push);
}

void NavigationController::transition(const std::shared_ptr<ViewController>& from, const std::shared_ptr<ViewController>& to,
    Direction direction, bool animated)
{
    if (!isViewLoaded())
        return;
    const bool onScreen = isAppearing();
    animated = animated && onScreen && from;
    std::shared_ptr<View> container = view();
    gfx::Rect frame = contentFrame();
    std::shared_ptr<View> toView = to->view();
    std::shared_ptr<View> fromView = from && from->isViewLoaded() ? from->view() : nullptr;
    const float width = container->bounds().width();
    const float sign = direction == Direction::Push ? 1 : -1;
    toView->setFrame(animated ? frame.offsetBy(width * sign, 0) : frame);
    container->insertSubviewBelowSubview(toView, m_bar.get());

    if (onScreen) {
        if (from)
            from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    auto finish = [from, to, fromView, onScreen, weak = std::weak_ptr<Responder>(weak_from_this())] {
        auto self = std::static_pointer_cast<NavigationController>(weak.lock());
        // The view leaving goes unless it came back on top meanwhile.
        if (fromView && !(self && self->topViewController() == from))
            fromView->removeFromSuperview();
        if (onScreen) {
            if (from)
                from->endAppearanceTransition();
            to->endAppearanceTransition();
        }
    };
    if (!animated) {
        finish();
        return;
    }
    View::beginAnimations("navigation");
    View::setAnimationDuration(kTransitionDuration);
    View::setAnimationDidStopSelector([finish](const std::string&, bool, void*) { finish(); });
    toView->setFrame(frame);
    if (fromView)
        fromView->setFrame(frame.offsetBy(-width * sign, 0));
    View::commitAnimations();
}

} // namespace ui
