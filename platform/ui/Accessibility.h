#pragma once

#include "graphics/Geometry.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class View;

// What a screen reader is told of the screens. The views are drawn by us, so the desktop's
// accessibility bus knows nothing of them unless each view says what it is: every view fills
// an AccessibilityData from what it already knows (a button its caption, a slider its value),
// and a screen sets only what a view cannot know (the name of a button that shows a picture).
// The host turns the tree of AccessibilityElements into the desktop's objects and passes the
// announcements below on; no view knows the desktop. Main thread only.

/// What an element is. None: the view itself is not read, its children stand in its place
/// (plain containers).
enum class AccessibilityRole {
    None,
    Window,
    Screen,
    Group,
    PushButton,
    StaticText,
    EditableText,
    Slider,
    CheckBox,
    List,
    ListItem,
    PageTabList,
    PageTab,
    NavigationBar,
    ToolBar,
    Dialog,
    Alert,
    LevelBar,
    Image,
};

/// States of an element; combined with |.
enum AccessibilityState : unsigned {
    AccessibilityStateDisabled = 1 << 0,
    AccessibilityStateFocusable = 1 << 1,
    AccessibilityStateFocused = 1 << 2,
    AccessibilityStateSelectable = 1 << 3,
    AccessibilityStateSelected = 1 << 4,
    AccessibilityStateCheckable = 1 << 5,
    AccessibilityStateChecked = 1 << 6,
    AccessibilityStateExpandable = 1 << 7,
    AccessibilityStateExpanded = 1 << 8,
    AccessibilityStateEditable = 1 << 9,
    AccessibilityStateMultiLine = 1 << 10,
    /// A dialog that keeps everything behind it from being reached.
    AccessibilityStateModal = 1 << 11,
};

/// What a screen reader can do with an element.
enum class AccessibilityAction {
    /// What a tap does: press a button, choose a row or a tab, toggle a switch; in a field
    /// being edited, what the return key does.
    Press,
    Increment,
    Decrement,
    /// Gives the element the keyboard's focus (a field begins editing).
    Focus,
};

/// The numbers of an element with a value on a scale (a slider, the level meter).
struct AccessibilityRange {
    float minimum { 0 };
    float maximum { 1 };
    float current { 0 };
    /// What Increment and Decrement move by.
    float step { 0.1f };
};

/// Everything a screen reader is told of one element.
struct AccessibilityData {
    AccessibilityRole role { AccessibilityRole::None };
    std::string name;
    std::string description;
    /// The text of an editable field, or a value said in words.
    std::string value;
    unsigned states { 0 };
    std::vector<AccessibilityAction> actions;
    std::optional<AccessibilityRange> range;

    bool has(AccessibilityState state) const { return (states & state) != 0; }
    bool can(AccessibilityAction action) const;
};

/// One thing read: a view (part -1), or a part a view draws itself (a tab of the tab bar, a
/// row of a picker wheel), numbered from 0 by that view.
struct AccessibilityElement {
    std::weak_ptr<View> view;
    int part { -1 };

    /// The view, or null when it has gone.
    std::shared_ptr<View> lock() const { return view.lock(); }
    bool isPart() const { return part >= 0; }
    friend bool operator==(const AccessibilityElement& a, const AccessibilityElement& b)
    {
        return !a.view.owner_before(b.view) && !b.view.owner_before(a.view) && a.part == b.part;
    }
};

/// What a view announces when it changes.
enum class AccessibilityChange {
    Focus,
    Name,
    Value,
    State,
    Selection,
    /// A screen or a dialog was shown; the element is its view.
    ScreenShown,
    /// Accessible children came or went.
    Children,
};

/// Hears every announcement (the host). Called on the main thread, during the change: it
/// must not change views.
class AccessibilityObserver {
public:
    virtual ~AccessibilityObserver() = default;
    virtual void accessibilityDidChange(const AccessibilityElement& element, AccessibilityChange change) = 0;
};

/// The one observer, or null (not owned; whoever sets it clears it before it goes away).
void setAccessibilityObserver(AccessibilityObserver* observer);
AccessibilityObserver* accessibilityObserver();
/// Tells the observer of a change of view (or of its part); nothing without an observer or
/// for a view in no window.
void announceAccessibilityChange(View& view, AccessibilityChange change, int part = -1);

/// The element's data, with the view's name, role and description overrides applied and the
/// focused state from View::isAccessibilityFocused. An element whose view has gone has role None.
AccessibilityData accessibilityData(const AccessibilityElement& element);
/// The elements read inside element, in reading order: its parts, then the child views a
/// screen reader sees (View::accessibilityChildViews), where a view of role None is replaced
/// by its own children.
std::vector<AccessibilityElement> accessibleChildren(const AccessibilityElement& element);
/// The element whose accessibleChildren hold element: a part's view, else the nearest
/// ancestor that is read; none for the window and for a view in no window.
std::optional<AccessibilityElement> accessibleParent(const AccessibilityElement& element);
/// Where the element lies in its window's coordinates (empty when its view has gone).
gfx::Rect accessibilityFrame(const AccessibilityElement& element);
/// Does action; false when the element cannot (gone, disabled, no such action).
bool performAccessibilityAction(const AccessibilityElement& element, AccessibilityAction action);
/// Sets an element's value on its scale (a slider) or its text (an editable field); false
/// when it has neither.
bool setAccessibilityValue(const AccessibilityElement& element, float value);
bool setAccessibilityText(const AccessibilityElement& element, const std::string& text);

/// Whether view is drawn where it can be seen: in a window, neither it nor an ancestor hidden
/// or below 0.01 alpha, and some of it inside its clipping ancestors and the window.
bool isShownForAccessibility(const View& view);

/// The tree under element as a screen reader reads it, one element a line, indented by
/// depth: role, "name", value, states (what tests compare and logs show).
std::string accessibilityTreeDescription(const AccessibilityElement& element);
/// The words a role and a state are printed with there ("push button", "focused").
std::string accessibilityRoleName(AccessibilityRole role);
std::string accessibilityStatesDescription(unsigned states);

} // namespace ui
