#pragma once

#include "ui/View.h"

#include <functional>
#include <memory>
#include <vector>

namespace ui {

/// Events a control sends to its targets (the platform's values); combined with |.
enum ControlEvents : unsigned {
    ControlEventTouchDown = 1 << 0,
    ControlEventTouchDownRepeat = 1 << 1,
    ControlEventTouchDragInside = 1 << 2,
    ControlEventTouchDragOutside = 1 << 3,
    ControlEventTouchDragEnter = 1 << 4,
    ControlEventTouchDragExit = 1 << 5,
    ControlEventTouchUpInside = 1 << 6,
    ControlEventTouchUpOutside = 1 << 7,
    ControlEventTouchCancel = 1 << 8,
    ControlEventValueChanged = 1 << 12,
    ControlEventEditingDidBegin = 1 << 16,
    ControlEventEditingChanged = 1 << 17,
    ControlEventEditingDidEnd = 1 << 18,
    ControlEventEditingDidEndOnExit = 1 << 19,
    ControlEventAllTouchEvents = 0x0fff,
    ControlEventAllEvents = 0xffffffff,
};

/// The state a control shows (the platform's values); combined with |. Normal is no flag.
enum ControlState : unsigned {
    ControlStateNormal = 0,
    ControlStateHighlighted = 1 << 0,
    ControlStateDisabled = 1 << 1,
    ControlStateSelected = 1 << 2,
};

class Control;

/// What a control calls for an event: the target's action with the control as sender.
using ControlAction = std::function<void(Control& sender)>;

/// The base of buttons, sliders and text fields: enabled, highlighted and selected states,
/// touch tracking, and target-action.
///
/// Tracking follows the platform: a touch that begins in the control highlights it and sends
/// touch down; while the finger moves the highlight follows whether it is inside the control
/// or within a margin of 70 points around it (a finger is not precise); lifting the finger
/// there sends touch up inside, anywhere else touch up outside. A finger dragged out and back
/// in is inside again. Main thread only.
class Control : public View {
public:
    explicit Control(const gfx::Rect& frame = {});

    /// Adds action for every event in events. target identifies the registration for
    /// removeTarget (may be null); the same target may register several actions, and each
    /// event may have several actions, called in the order they were added.
    void addTargetActionForControlEvents(const void* target, ControlAction action, unsigned events);
    /// Removes target's actions for the events in events (every target's for a null target).
    void removeTargetForControlEvents(const void* target, unsigned events);
    /// Whether some action is registered for one of events.
    bool hasActionsForControlEvents(unsigned events) const;
    /// Calls every action registered for one of events, in the order they were added. The
    /// control is kept alive for the calls; an action may remove actions or the control.
    void sendActionsForControlEvents(unsigned events);

    bool isEnabled() const { return m_enabled; }
    /// A disabled control takes no touches and looks dimmed.
    void setEnabled(bool enabled);
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    /// The flags of the states above.
    unsigned state() const;
    /// Whether a touch is being tracked and whether it is inside now.
    bool isTracking() const { return m_tracking; }
    bool isTouchInside() const { return m_touchInside; }

    /// Tracking hooks for subclasses, in the control's coordinates. beginTracking answers
    /// whether to follow the touch (the default: yes); continueTracking whether to go on.
    virtual bool beginTrackingWithTouch(const Touch& touch);
    virtual bool continueTrackingWithTouch(const Touch& touch);
    virtual void endTrackingWithTouch(const Touch& touch);
    virtual void cancelTrackingWithTouch(const Touch* touch);

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    View* hitTest(gfx::Point point, const Event* event = nullptr) override;
    /// Enabled or not, focusable while enabled; Press does what a tap does (touch down, then
    /// touch up inside) on an enabled control.
    void fillAccessibilityData(AccessibilityData& data) const override;
    bool performAccessibilityAction(AccessibilityAction action, int part) override;

    /// Enabled controls that take touches are stops of Tab.
    bool canBecomeKeyboardFocus() const override;
    /// With the keyboard focus, Return presses the control (pressFromKeyboard); other keys,
    /// and every key without the focus, go on up the chain.
    void keyPressed(Key key) override;
    /// With the keyboard focus, Space presses the control.
    bool performKeyCommand(const KeyCommand& command) override;
    /// What Space and Return do to the focused control: a tap's touch down and touch up
    /// inside (a switch turns over, a text field begins editing).
    virtual void pressFromKeyboard();
    /// Whether this control has its window's keyboard focus.
    bool hasKeyboardFocus() const;

    /// How far outside its bounds a tracked finger still counts as inside.
    static constexpr float kTrackingMargin = 70;

protected:
    /// Called after the enabled, highlighted or selected state changed; the default redraws.
    virtual void stateDidChange() { setNeedsDisplay(); }
    /// Whether point (control coordinates) counts as inside for a tracked touch.
    bool isInsideForTracking(gfx::Point point) const;

private:
    struct Registration {
        const void* target;
        ControlAction action;
        unsigned events;
    };

    std::vector<Registration> m_actions;
    std::shared_ptr<Touch> m_trackedTouch;
    bool m_enabled { true };
    bool m_highlighted { false };
    bool m_selected { false };
    bool m_tracking { false };
    bool m_touchInside { false };
};

} // namespace ui
