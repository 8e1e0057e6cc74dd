#include "ui/Control.h"

#include "ui/Window.h"

#include <algorithm>

namespace ui {

Control::Control(const gfx::Rect& frame)
    : View(frame)
{
}

void Control::addTargetActionForControlEvents(const void* target, ControlAction action, unsigned events)
{
    if (!action || events == 0)
        return;
    m_actions.push_back({ target, std::move(action), events });
}

void Control::removeTargetForControlEvents(const void* target, unsigned events)
{
    for (auto& registration : m_actions)
        if (!target || registration.target == target)
            registration.events &= ~events;
    std::erase_if(m_actions, [](const Registration& r) { return r.events == 0; });
}

bool Control::hasActionsForControlEvents(unsigned events) const
{
    return std::any_of(m_actions.begin(), m_actions.end(), [&](const Registration& r) { return r.events & events; });
}

void Control::sendActionsForControlEvents(unsigned events)
{
    // A copy: actions may add or remove registrations, or drop the last reference to us.
    auto keep = weak_from_this().lock();
    std::vector<ControlAction> due;
    for (const auto& registration : m_actions)
        if (registration.events & events)
            due.push_back(registration.action);
    for (auto& action : due)
        action(*this);
}

void Control::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (!enabled && m_tracking)
        cancelTrackingWithTouch(m_trackedTouch.get());
    stateDidChange();
    announceAccessibilityChange(*this, AccessibilityChange::State);
}

void Control::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    stateDidChange();
}

void Control::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    stateDidChange();
    announceAccessibilityChange(*this, AccessibilityChange::State);
}

void Control::fillAccessibilityData(AccessibilityData& data) const
{
    data.states |= m_enabled ? AccessibilityStateFocusable : AccessibilityStateDisabled;
    if (m_selected)
        data.states |= AccessibilityStateSelected;
}

bool Control::performAccessibilityAction(AccessibilityAction action, int part)
{
    if (action != AccessibilityAction::Press || part >= 0 || !m_enabled || !window())
        return false;
    auto keep = sharedView();
    sendActionsForControlEvents(ControlEventTouchDown);
    sendActionsForControlEvents(ControlEventTouchUpInside);
    return true;
}

unsigned Control::state() const
{
    unsigned s = ControlStateNormal;
    if (m_highlighted)
        s |= ControlStateHighlighted;
    if (!m_enabled)
        s |= ControlStateDisabled;
    if (m_selected)
        s |= ControlStateSelected;
    return s;
}

View* Control::hitTest(gfx::Point point, const Event* event)
{
    if (!m_enabled)
        return nullptr;
    return View::hitTest(point, event);
}

bool Control::canBecomeKeyboardFocus() const
{
    return m_enabled && isUserInteractionEnabled();
}

bool Control::hasKeyboardFocus() const
{
    Window* w = window();
    return w && w->keyboardFocus() == this;
}

void Control::pressFromKeyboard()
{
    auto keep = weak_from_this().lock();
    setHighlighted(true);
    sendActionsForControlEvents(ControlEventTouchDown);
    setHighlighted(false);
    sendActionsForControlEvents(ControlEventTouchUpInside);
}

void Control::keyPressed(Key key)
{
    if (key == Key::Return && hasKeyboardFocus()) {
        pressFromKeyboard();
        return;
    }
    View::keyPressed(key);
}

bool Control::performKeyCommand(const KeyCommand& command)
{
    if (command.is(" ") && hasKeyboardFocus()) {
        pressFromKeyboard();
        return true;
    }
    return View::performKeyCommand(command);
}

bool Control::isInsideForTracking(gfx::Point point) const
{
    return bounds().insetBy(-kTrackingMargin, -kTrackingMargin).containsPoint(point);
}

bool Control::beginTrackingWithTouch(const Touch&)
{
    return true;
}

bool Control::continueTrackingWithTouch(const Touch&)
{
    return true;
}

void Control::endTrackingWithTouch(const Touch&)
{
}

void Control::cancelTrackingWithTouch(const Touch*)
{
    m_tracking = false;
    m_trackedTouch.reset();
    m_touchInside = false;
    setHighlighted(false);
}

void Control::touchesBegan(const TouchSet& touches, const Event&)
{
    if (m_tracking || touches.empty() || !m_enabled)
        return;
    auto keep = weak_from_this().lock();
    const auto& touch = touches.front();
    m_touchInside = true;
    if (!beginTrackingWithTouch(*touch)) {
        m_touchInside = false;
        return;
    }
    m_tracking = true;
    m_trackedTouch = touch;
    setHighlighted(true);
    unsigned events = ControlEventTouchDown;
    if (touch->tapCount() > 1)
        events |= ControlEventTouchDownRepeat;
    sendActionsForControlEvents(events);
}

void Control::touchesMoved(const TouchSet& touches, const Event&)
{
    if (!m_tracking || touches.empty() || touches.front() != m_trackedTouch)
        return;
    auto keep = weak_from_this().lock();
    const auto& touch = touches.front();
    const bool wasInside = m_touchInside;
    m_touchInside = isInsideForTracking(touch->locationInView(this));
    setHighlighted(m_touchInside);
    if (!continueTrackingWithTouch(*touch)) {
        cancelTrackingWithTouch(touch.get());
        return;
    }
    unsigned events = m_touchInside ? ControlEventTouchDragInside : ControlEventTouchDragOutside;
    if (wasInside != m_touchInside)
        events |= m_touchInside ? ControlEventTouchDragEnter : ControlEventTouchDragExit;
    sendActionsForControlEvents(events);
}

void Control::touchesEnded(const TouchSet& touches, const Event&)
{
    if (!m_tracking || touches.empty() || touches.front() != m_trackedTouch)
        return;
    auto keep = weak_from_this().lock();
    const auto& touch = touches.front();
    m_touchInside = isInsideForTracking(touch->locationInView(this));
    m_tracking = false;
    m_trackedTouch.reset();
    setHighlighted(false);
    endTrackingWithTouch(*touch);
    // A control that was disabled or removed by touch down's actions sends nothing more.
    if (!m_enabled)
        return;
    sendActionsForControlEvents(m_touchInside ? ControlEventTouchUpInside : ControlEventTouchUpOutside);
    m_touchInside = false;
}

void Control::touchesCancelled(const TouchSet& touches, const Event&)
{
    if (!m_tracking || touches.empty() || touches.front() != m_trackedTouch)
        return;
    auto keep = weak_from_this().lock();
    cancelTrackingWithTouch(touches.front().get());
    sendActionsForControlEvents(ControlEventTouchCancel);
}

} // namespace ui
