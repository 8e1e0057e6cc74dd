#include "ui/Accessibility.h"

#include "ui/NavigationItem.h"
#include "ui/View.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

AccessibilityObserver* g_observer = nullptr;

AccessibilityElement elementOf(const View& view, int part = -1)
{
    auto strong = std::static_pointer_cast<View>(const_cast<View&>(view).weak_from_this().lock());
    return { strong, part };
}

// The view of a screen's controller is read as the screen, named after its title; a
// container's view (tabs, a navigation stack) is not read itself.
void fillScreenData(const View& view, AccessibilityData& data)
{
    if (const auto* window = dynamic_cast<const Window*>(&view)) {
        data.role = AccessibilityRole::Window;
        data.name = ViewController::shownTitle(*window);
        return;
    }
    auto* controller = dynamic_cast<ViewController*>(view.nextResponder());
    if (!controller || controller->showsChildViewControllers())
        return;
    data.role = AccessibilityRole::Screen;
    data.name = controller->navigationItem()->title();
    if (data.name.empty())
        data.name = controller->title();
}

AccessibilityData viewData(const View& view)
{
    AccessibilityData data;
    view.fillAccessibilityData(data);
    if (data.role == AccessibilityRole::None)
        fillScreenData(view, data);
    if (auto role = view.accessibilityRole())
        data.role = *role;
    if (!view.accessibilityName().empty())
        data.name = view.accessibilityName();
    if (!view.accessibilityDescription().empty())
        data.description = view.accessibilityDescription();
    if (view.isAccessibilityFocused())
        data.states |= AccessibilityStateFocused;
    return data;
}

bool isRead(const View& view)
{
    return viewData(view).role != AccessibilityRole::None;
}

void collectChildren(const View& view, std::vector<AccessibilityElement>& out)
{
    for (View* child : view.accessibilityChildViews()) {
        if (isRead(*child))
            out.push_back(elementOf(*child));
        else
            collectChildren(*child, out);
    }
}

void describe(const AccessibilityElement& element, int depth, std::string& out)
{
    const AccessibilityData data = accessibilityData(element);
    out.append(size_t(depth) * 2, ' ');
    out += accessibilityRoleName(data.role);
    if (!data.name.empty())
        out += " \"" + data.name + "\"";
    if (!data.value.empty())
        out += " = \"" + data.value + "\"";
    if (data.range)
        out += " (" + std::to_string(int(std::lround(100 * (data.range->current - data.range->minimum)
                                    / std::max(1e-6f, data.range->maximum - data.range->minimum))))
            + "%)";
    if (!data.description.empty())
        out += " — " + data.description;
    const std::string states = accessibilityStatesDescription(data.states);
    if (!states.empty())
        out += " [" + states + "]";
    out += '\n';
    for (const auto& child : accessibleChildren(element))
        describe(child, depth + 1, out);
}

} // namespace

bool AccessibilityData::can(AccessibilityAction action) const
{
    return std::find(actions.begin(), actions.end(), action) != actions.end();
}

void setAccessibilityObserver(AccessibilityObserver* observer)
{
    g_observer = observer;
}

AccessibilityObserver* accessibilityObserver()
{
    return g_observer;
}

void announceAccessibilityChange(View& view, AccessibilityChange change, int part)
{
    if (!g_observer || !view.window())
        return;
    const AccessibilityElement element = elementOf(view, part);
    if (element.view.expired())
        return;
    g_observer->accessibilityDidChange(element, change);
}

AccessibilityData accessibilityData(const AccessibilityElement& element)
{
    auto view = element.lock();
    if (!view)
        return {};
    if (!element.isPart())
        return viewData(*view);
    AccessibilityData data;
    view->fillAccessibilityPartData(element.part, data);
    return data;
}

std::vector<AccessibilityElement> accessibleChildren(const AccessibilityElement& element)
{
    std::vector<AccessibilityElement> children;
    auto view = element.lock();
    if (!view || element.isPart())
        return children;
    for (int part = 0; part < view->accessibilityPartCount(); ++part)
        children.push_back({ view, part });
    collectChildren(*view, children);
    return children;
}

std::optional<AccessibilityElement> accessibleParent(const AccessibilityElement& element)
{
    auto view = element.lock();
    if (!view || !view->window())
        return std::nullopt;
    if (element.isPart())
        return AccessibilityElement { view, -1 };
    for (View* ancestor = view->superview(); ancestor; ancestor = ancestor->superview())
        if (isRead(*ancestor))
            return elementOf(*ancestor);
    return std::nullopt;
}

gfx::Rect accessibilityFrame(const AccessibilityElement& element)
{
    auto view = element.lock();
    if (!view)
        return {};
    const gfx::Rect rect = element.isPart() ? view->accessibilityPartFrame(element.part) : view->bounds();
    return view->convertRectToView(rect, nullptr);
}

bool performAccessibilityAction(const AccessibilityElement& element, AccessibilityAction action)
{
    auto view = element.lock();
    return view && view->window() && view->performAccessibilityAction(action, element.part);
}

bool setAccessibilityValue(const AccessibilityElement& element, float value)
{
    auto view = element.lock();
    return view && view->window() && !element.isPart() && view->setAccessibilityValue(value);
}

bool setAccessibilityText(const AccessibilityElement& element, const std::string& text)
{
    auto view = element.lock();
    return view && view->window() && !element.isPart() && view->setAccessibilityText(text);
}

bool isShownForAccessibility(const View& view)
{
    Window* window = view.window();
    if (!window)
        return false;
    for (const View* v = &view; v; v = v->superview())
        if (v->isHidden() || v->alpha() < 0.01f)
            return false;
    const gfx::Rect bounds = view.bounds();
    // A view of no size of its own only holds others, which are asked one by one.
    if (bounds.isEmpty())
        return true;
    gfx::Rect rect = view.convertRectToView(bounds, nullptr);
    for (const View* ancestor = view.superview(); ancestor; ancestor = ancestor->superview())
        if (ancestor->clipsToBounds())
            rect = rect.intersection(ancestor->convertRectToView(ancestor->bounds(), nullptr));
    return !rect.intersection(window->bounds()).isEmpty();
}

std::string accessibilityTreeDescription(const AccessibilityElement& element)
{
    std::string out;
    describe(element, 0, out);
    return out;
}

std::string accessibilityRoleName(AccessibilityRole role)
{
    switch (role) {
    case AccessibilityRole::None:
        return "none";
    case AccessibilityRole::Window:
        return "window";
    case AccessibilityRole::Screen:
        return "screen";
    case AccessibilityRole::Group:
        return "group";
    case AccessibilityRole::PushButton:
        return "push button";
    case AccessibilityRole::StaticText:
        return "label";
    case AccessibilityRole::EditableText:
        return "text";
    case AccessibilityRole::Slider:
        return "slider";
    case AccessibilityRole::CheckBox:
        return "check box";
    case AccessibilityRole::List:
        return "list";
    case AccessibilityRole::ListItem:
        return "list item";
    case AccessibilityRole::PageTabList:
        return "page tab list";
    case AccessibilityRole::PageTab:
        return "page tab";
    case AccessibilityRole::NavigationBar:
        return "navigation bar";
    case AccessibilityRole::ToolBar:
        return "tool bar";
    case AccessibilityRole::Dialog:
        return "dialog";
    case AccessibilityRole::Alert:
        return "alert";
    case AccessibilityRole::LevelBar:
        return "level bar";
    case AccessibilityRole::Image:
        return "image";
    }
    return "none";
}

std::string accessibilityStatesDescription(unsigned states)
{
    static const std::pair<AccessibilityState, const char*> kNames[] = {
        { AccessibilityStateDisabled, "disabled" },
        { AccessibilityStateFocusable, "focusable" },
        { AccessibilityStateFocused, "focused" },
        { AccessibilityStateSelectable, "selectable" },
        { AccessibilityStateSelected, "selected" },
        { AccessibilityStateCheckable, "checkable" },
        { AccessibilityStateChecked, "checked" },
        { AccessibilityStateExpandable, "expandable" },
        { AccessibilityStateExpanded, "expanded" },
        { AccessibilityStateEditable, "editable" },
        { AccessibilityStateMultiLine, "multi-line" },
        { AccessibilityStateModal, "modal" },
    };
    std::string out;
    for (const auto& [state, name] : kNames)
        if (states & state)
            out += (out.empty() ? "" : ", ") + std::string(name);
    return out;
}

} // namespace ui
