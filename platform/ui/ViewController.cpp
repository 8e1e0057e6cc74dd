#include "ui/ViewController.h"

#include "ui/NavigationController.h"
#include "ui/NavigationItem.h"
#include "ui/Screen.h"
#include "ui/TabBarController.h"
#include "ui/Window.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double kModalDuration = 0.4;

std::vector<ViewController*>& liveControllers()
{
    static std::vector<ViewController*> controllers;
    return controllers;
}

} // namespace

ViewController::ViewController()
{
    liveControllers().push_back(this);
}

ViewController::~ViewController()
{
    std::erase(liveControllers(), this);
    if (m_view)
        m_view->setNextResponderOverride(nullptr);
    if (m_modal) {
        m_modal->m_presenting = nullptr;
        if (m_modal->m_view)
            m_modal->m_view->removeFromSuperview();
    }
    if (m_editButtonItem)
        m_editButtonItem->setAction(nullptr);
}

// The view

std::shared_ptr<View> ViewController::view()
{
    if (!m_view && !m_loadingView) {
        m_loadingView = true;
        loadView();
        if (!m_view) {
            foundation::log("loadView made no view; a plain one is used");
            ViewController::loadView();
        }
        m_loadingView = false;
        viewDidLoad();
    }
    return m_view;
}

void ViewController::setView(std::shared_ptr<View> view)
{
    if (view == m_view)
        return;
    if (m_view)
        m_view->setNextResponderOverride(nullptr);
    m_view = std::move(view);
    if (m_view)
        m_view->setNextResponderOverride(this);
}

void ViewController::loadView()
{
    // Built at the designed size: subclasses place their views in it, and the autoresizing
    // takes them to the screen's size when a container gives the view its frame.
    auto view = std::make_shared<View>(Screen::mainScreen().designApplicationFrame());
    view->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    setView(view);
}

bool ViewController::shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) const
{
    return orientation == InterfaceOrientation::Portrait;
}

Responder* ViewController::nextResponder() const
{
    return m_view ? m_view->superview() : nullptr;
}

// Title and items

void ViewController::setTitle(const std::string& title)
{
    m_title = title;
    navigationItem()->setTitle(title);
    tabBarItem()->setTitle(title);
}

std::shared_ptr<TabBarItem> ViewController::tabBarItem()
{
    if (!m_tabBarItem)
        m_tabBarItem = std::make_shared<TabBarItem>(m_title, nullptr, 0);
    return m_tabBarItem;
}

void ViewController::setTabBarItem(std::shared_ptr<TabBarItem> item)
{
    m_tabBarItem = std::move(item);
    if (auto* tabs = tabBarController())
        tabs->refreshTabBarItems();
}

std::shared_ptr<NavigationItem> ViewController::navigationItem()
{
    if (!m_navigationItem)
        m_navigationItem = std::make_shared<NavigationItem>(m_title);
    return m_navigationItem;
}

void ViewController::setEditing(bool editing, bool)
{
    m_editing = editing;
    if (m_editButtonItem) {
        m_editButtonItem->setTitle(foundation::localizedString(editing ? "Done" : "Edit"));
        m_editButtonItem->setStyle(editing ? BarButtonItemStyle::Done : BarButtonItemStyle::Bordered);
    }
}

std::shared_ptr<BarButtonItem> ViewController::editButtonItem()
{
    if (!m_editButtonItem) {
        m_editButtonItem = BarButtonItem::withTitle(foundation::localizedString(m_editing ? "Done" : "Edit"),
            m_editing ? BarButtonItemStyle::Done : BarButtonItemStyle::Bordered, [this](BarButtonItem&) {
                auto keep = sharedController();
                setEditing(!m_editing, true);
            });
    }
    return m_editButtonItem;
}

// Containers

ViewController* ViewController::parentViewController() const
{
    return m_parent ? m_parent : m_presenting;
}

NavigationController* ViewController::navigationController() const
{
    for (ViewController* c = m_parent; c; c = c->m_parent)
        if (auto* navigation = dynamic_cast<NavigationController*>(c))
            return navigation;
    return nullptr;
}

TabBarController* ViewController::tabBarController() const
{
    for (ViewController* c = m_parent; c; c = c->m_parent)
        if (auto* tabs = dynamic_cast<TabBarController*>(c))
            return tabs;
    return nullptr;
}

ViewController* ViewController::rootContainer()
{
    ViewController* root = this;
    while (root->m_parent)
        root = root->m_parent;
    return root;
}

// Appearance

void ViewController::beginAppearanceTransition(bool appearing, bool animated)
{
    if (appearing == isAppearing())
        return;
    // A screen is loaded before it is told that it will appear.
    if (appearing)
        view();
    m_appearance = appearing ? Appearance::Appearing : Appearance::Disappearing;
    m_appearanceAnimated = animated;
    auto keep = sharedController();
    if (appearing)
        viewWillAppear(animated);
    else
        viewWillDisappear(animated);
    for (ViewController* child : visibleChildViewControllers())
        child->beginAppearanceTransition(appearing, animated);
}

void ViewController::endAppearanceTransition()
{
    auto keep = sharedController();
    if (m_appearance == Appearance::Appearing) {
        m_appearance = Appearance::Appeared;
        viewDidAppear(m_appearanceAnimated);
        if (m_view && !showsChildViewControllers())
            announceAccessibilityChange(*m_view, AccessibilityChange::ScreenShown);
    } else if (m_appearance == Appearance::Disappearing) {
        m_appearance = Appearance::Disappeared;
        viewDidDisappear(m_appearanceAnimated);
    } else
        return;
    for (ViewController* child : visibleChildViewControllers())
        child->endAppearanceTransition();
}

void ViewController::windowDidShowView(View& view)
{
    auto* controller = dynamic_cast<ViewController*>(view.nextResponder());
    if (!controller || controller->m_parent || controller->m_presenting)
        return;
    controller->beginAppearanceTransition(true, false);
    controller->endAppearanceTransition();
}

void ViewController::windowWillHideView(View& view)
{
    auto* controller = dynamic_cast<ViewController*>(view.nextResponder());
    if (!controller || controller->m_parent || controller->m_presenting)
        return;
    controller->beginAppearanceTransition(false, false);
    controller->endAppearanceTransition();
}

std::vector<ViewController*> ViewController::shownChain(const Window& window)
{
    std::vector<ViewController*> chain;
    const auto& subviews = window.subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend() && chain.empty(); ++it) {
        auto* candidate = dynamic_cast<ViewController*>((*it)->nextResponder());
        if (candidate && !candidate->m_parent && !candidate->m_presenting)
            chain.push_back(candidate);
    }
    while (!chain.empty()) {
        ViewController* controller = chain.back();
        if (controller->m_modal) {
            chain.push_back(controller->m_modal.get());
            continue;
        }
        auto children = controller->visibleChildViewControllers();
        if (children.empty())
            break;
        chain.push_back(children.back());
    }
    return chain;
}

std::string ViewController::shownTitle(const Window& window)
{
    std::string title;
    for (ViewController* controller : shownChain(window)) {
        const std::string& own = controller->m_navigationItem && !controller->m_navigationItem->title().empty()
            ? controller->m_navigationItem->title()
            : controller->m_title;
        if (!own.empty())
            title = own;
    }
    return title;
}

ViewController* ViewController::shownController(const Window& window)
{
    auto chain = shownChain(window);
    return chain.empty() ? nullptr : chain.back();
}

void ViewController::sendMemoryWarningToAll()
{
    // A copy: a controller may go away during another's warning.
    std::vector<std::weak_ptr<Responder>> controllers;
    for (ViewController* c : liveControllers())
        controllers.push_back(c->weak_from_this());
    for (auto& weak : controllers)
        if (auto c = weak.lock())
            static_cast<ViewController*>(c.get())->didReceiveMemoryWarning();
}

// Modal presentation

void ViewController::presentModalViewController(std::shared_ptr<ViewController> controller, bool animated)
{
    if (!controller || controller->m_parent || controller->m_presenting || controller.get() == this)
        return;
    ViewController* host = rootContainer();
    while (host->m_modal)
        host = host->m_modal.get();
    Window* window = host->isViewLoaded() ? host->m_view->window() : nullptr;
    if (!window) {
        foundation::log("A view controller outside a window cannot present another");
        return;
    }
    auto keep = sharedController();
    host->m_modal = controller;
    controller->m_presenting = host;
    const gfx::Rect frame = Screen::mainScreen().applicationFrame();
    std::shared_ptr<View> modalView = controller->view();
    modalView->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    modalView->setFrame(animated ? frame.offsetBy(0, Screen::mainScreen().bounds().height()) : frame);

    host->beginAppearanceTransition(false, animated);
    controller->beginAppearanceTransition(true, animated);
    window->addContentView(modalView);
    if (!animated) {
        host->finishPresentation(false);
        return;
    }
    std::weak_ptr<Responder> weakHost = host->weak_from_this();
    View::beginAnimations("presentModal");
    View::setAnimationDuration(kModalDuration);
    View::setAnimationDidStopSelector([weakHost](const std::string&, bool, void*) {
        if (auto h = weakHost.lock())
            static_cast<ViewController*>(h.get())->finishPresentation(true);
    });
    modalView->setFrame(frame);
    View::commitAnimations();
}

void ViewController::finishPresentation(bool)
{
    auto keep = sharedController();
    // The screen underneath is covered: it stops drawing and taking touches.
    if (m_modal && m_view)
        m_view->setHidden(true);
    endAppearanceTransition();
    if (m_modal)
        m_modal->endAppearanceTransition();
}

void ViewController::dismissModalViewControllerAnimated(bool animated)
{
    ViewController* host = this;
    while (!host->m_modal) {
        host = host->m_parent ? host->m_parent : host->m_presenting;
        if (!host)
            return;
    }
    auto keepHost = host->sharedController();
    // A modal controller stacked on the one leaving goes at once.
    if (host->m_modal->m_modal)
        host->m_modal->dismissModalViewControllerAnimated(false);
    std::shared_ptr<ViewController> modal = std::move(host->m_modal);
    std::shared_ptr<View> modalView = modal->m_view;
    // A text field in the leaving screen gives up the keyboard now, so both go down together.
    if (Window* window = modalView ? modalView->window() : nullptr)
        if (auto* first = dynamic_cast<View*>(window->firstResponder()); first && first->isDescendantOfView(modalView.get()))
            first->resignFirstResponder();

    modal->beginAppearanceTransition(false, animated);
    host->beginAppearanceTransition(true, animated);
    if (host->m_view)
        host->m_view->setHidden(false);
    auto finish = [modal, modalView, weakHost = std::weak_ptr<Responder>(keepHost)] {
        if (modalView)
            modalView->removeFromSuperview();
        modal->m_presenting = nullptr;
        modal->endAppearanceTransition();
        if (auto h = weakHost.lock())
            static_cast<ViewController*>(h.get())->endAppearanceTransition();
    };
    if (!animated || !modalView) {
        finish();
        return;
    }
    View::beginAnimations("dismissModal");
    View::setAnimationDuration(kModalDuration);
    View::setAnimationDidStopSelector([finish](const std::string&, bool, void*) { finish(); });
    modalView->setFrame(modalView->frame().offsetBy(0, Screen::mainScreen().bounds().height()));
    View::commitAnimations();
}

} // namespace ui
