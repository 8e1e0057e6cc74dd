#pragma once

#include "ui/BarButtonItem.h"
#include "ui/NavigationItem.h"
#include "ui/Responder.h"
#include "ui/TabBarItem.h"
#include "ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class NavigationController;
class TabBarController;
class Window;

/// Orientations of the device (the platform's values).
enum class InterfaceOrientation {
    Portrait = 1,
    PortraitUpsideDown = 2,
    LandscapeRight = 3,
    LandscapeLeft = 4,
};

/// Manages one screen: its view, made on first need (loadView, then viewDidLoad); the
/// appearance callbacks; its title, tab bar item and navigation item; editing with its
/// Edit/Done item; and modal presentation of another controller over the whole window.
///
/// Appearance: every change of what is on screen calls, in this order, viewWillDisappear of
/// the controller leaving, viewWillAppear of the one coming, then (after the animation, if
/// any) viewDidDisappear of the one that left and viewDidAppear of the one that came.
/// Containers pass the calls to the child they show. A root controller (one whose view is
/// added to a window directly) appears when its window is shown or its view is added to a
/// shown window, and disappears when its view is taken out.
///
/// Controllers live in std::shared_ptr. A container owns its children and a presenter its
/// modal controller; a child knows its parent without owning it. The view does not own its
/// controller. Main thread only.
class ViewController : public Responder {
public:
    ViewController();
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    std::shared_ptr<ViewController> sharedController() { return std::static_pointer_cast<ViewController>(shared_from_this()); }

    // The view
    /// The view, loaded first if needed.
    std::shared_ptr<View> view();
    /// Replaces the view (null unloads it; the next view() loads it again).
    void setView(std::shared_ptr<View> view);
    bool isViewLoaded() const { return m_view != nullptr; }
    /// Makes the view. The default makes a plain view filling the screen's application frame,
    /// resizing with its container. Overrides set the view with setView; they need not call
    /// this one.
    virtual void loadView();
    virtual void viewDidLoad() { }

    // Appearance (see the class comment); the defaults do nothing.
    virtual void viewWillAppear(bool animated) { (void)animated; }
    virtual void viewDidAppear(bool animated) { (void)animated; }
    virtual void viewWillDisappear(bool animated) { (void)animated; }
    virtual void viewDidDisappear(bool animated) { (void)animated; }
    /// Whether the view is on screen or on its way there.
    bool isAppearing() const { return m_appearance == Appearance::Appearing || m_appearance == Appearance::Appeared; }

    /// Called when the application raises a memory warning. The default keeps everything: a
    /// screen's view is not unloaded behind its controller's back.
    virtual void didReceiveMemoryWarning() { }
    /// Whether the screen may turn to orientation; the default allows portrait only. Asked
    /// when the device turns (a desktop never does).
    virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation) const;

    // Title and bar items
    const std::string& title() const { return m_title; }
    /// Also the title of the navigation item and of the tab bar item.
    void setTitle(const std::string& title);
    /// The item its tab shows; made on first use with the title. A navigation controller
    /// answers its root controller's item, as its tab stands for that screen.
    virtual std::shared_ptr<TabBarItem> tabBarItem();
    void setTabBarItem(std::shared_ptr<TabBarItem> item);
    /// What a navigation bar shows while this controller is on top; made on first use.
    std::shared_ptr<NavigationItem> navigationItem();

    // Editing
    bool isEditing() const { return m_editing; }
    /// Switches editing mode; the edit button item shows Done while editing and Edit otherwise.
    /// Overrides call this one.
    virtual void setEditing(bool editing, bool animated);
    /// A bordered item titled Edit or Done that toggles editing (animated); made on first use.
    std::shared_ptr<BarButtonItem> editButtonItem();

    // Containers
    /// The container holding this controller, else the controller presenting it, else null.
    ViewController* parentViewController() const;
    /// Whether it shows child controllers (a container), whose screens are read instead of it.
    bool showsChildViewControllers() const { return !visibleChildViewControllers().empty(); }
    /// The nearest navigation or tab bar controller among the parents, or null.
    NavigationController* navigationController() const;
    TabBarController* tabBarController() const;
    /// Whether pushing this controller on a navigation stack inside a tab bar controller hides
    /// the tab bar while it is on the stack.
    bool hidesBottomBarWhenPushed() const { return m_hidesBottomBarWhenPushed; }
    void setHidesBottomBarWhenPushed(bool hides) { m_hidesBottomBarWhenPushed = hides; }

    // Modal presentation
    /// Shows controller over the whole window (less the status bar), sliding up when animated.
    /// The screen under it disappears. The root container of this controller presents it (or
    /// the topmost modal controller when one is shown already). Nothing happens for a null
    /// controller, one that has a parent already, or when this controller is in no window.
    void presentModalViewController(std::shared_ptr<ViewController> controller, bool animated);
    /// Takes the modal controller that this controller (or, when it has none, its presenter)
    /// shows off the screen, sliding down when animated. Nothing when there is none.
    void dismissModalViewControllerAnimated(bool animated);
    /// The controller this one presents, or null.
    std::shared_ptr<ViewController> modalViewController() const { return m_modal; }

    Responder* nextResponder() const override;

    // Appearance delivery, for containers and the window.
    /// Starts appearing or disappearing: calls viewWillAppear or viewWillDisappear unless the
    /// controller is already there or on its way, then passes on to the shown children.
    void beginAppearanceTransition(bool appearing, bool animated);
    /// Ends the transition begun: viewDidAppear or viewDidDisappear, then the children.
    void endAppearanceTransition();
    /// Called by the window when view, one of its direct subviews, comes on screen or leaves.
    static void windowDidShowView(View& view);
    static void windowWillHideView(View& view);
    /// Calls didReceiveMemoryWarning of every live controller (the application raises it).
    static void sendMemoryWarningToAll();
    /// The title of the screen window shows: that of the innermost controller shown (its
    /// navigation item's title, else its own), following modal controllers, from the topmost
    /// root controller among the window's subviews. Empty when no shown controller has one.
    static std::string shownTitle(const Window& window);
    /// The innermost controller shown in window (as for shownTitle), or null.
    static ViewController* shownController(const Window& window);

protected:
    /// The children shown now; containers override.
    virtual std::vector<ViewController*> visibleChildViewControllers() const { return {}; }
    /// Makes child a child of parent (null: of none). For containers.
    static void setParentViewControllerOf(ViewController& child, ViewController* parent) { child.m_parent = parent; }
    /// The controller at the root of this one's containers.
    ViewController* rootContainer();

private:
    enum class Appearance { Disappeared, Appearing, Appeared, Disappearing };

    void finishPresentation(bool animated);
    /// The controllers shown in window, outermost first.
    static std::vector<ViewController*> shownChain(const Window& window);

    std::shared_ptr<View> m_view;
    std::string m_title;
    std::shared_ptr<TabBarItem> m_tabBarItem;
    std::shared_ptr<NavigationItem> m_navigationItem;
    std::shared_ptr<BarButtonItem> m_editButtonItem;
    ViewController* m_parent { nullptr };
    ViewController* m_presenting { nullptr };
    std::shared_ptr<ViewController> m_modal;
    Appearance m_appearance { Appearance::Disappeared };
    bool m_appearanceAnimated { false };
    bool m_editing { false };
    bool m_hidesBottomBarWhenPushed { false };
    bool m_loadingView { false };
};

} // namespace ui
