#include "ui/Switch.h"

#include "ui/Appearance.h"

#include <numbers>

namespace ui {

Switch::Switch(const gfx::Rect& frame)
    : Control(frame)
{
    setBackgroundColor(gfx::Color::clear());
}

void Switch::setOn(bool on, bool animated)
{
    if (on == m_on)
        return;
    m_on = on;
    // The knob is drawn, not a view: an animated change is a plain redraw.
    (void)animated;
    setNeedsDisplay();
    announceAccessibilityChange(*this, AccessibilityChange::State);
}

void Switch::fillAccessibilityData(AccessibilityData& data) const
{
    Control::fillAccessibilityData(data);
    data.role = AccessibilityRole::CheckBox;
    data.states |= AccessibilityStateCheckable | (m_on ? AccessibilityStateChecked : 0u);
    data.actions.push_back(AccessibilityAction::Press);
}

bool Switch::performAccessibilityAction(AccessibilityAction action, int part)
{
    if (action != AccessibilityAction::Press || part >= 0 || !isEnabled() || !window())
        return false;
    auto keep = sharedView();
    setOn(!m_on);
    sendActionsForControlEvents(ControlEventValueChanged);
    return true;
}

gfx::Rect Switch::trackRectForBounds(const gfx::Rect& bounds) const
{
    return gfx::Rect(bounds.midX() - kWidth * 0.5f, bounds.midY() - kHeight * 0.5f, kWidth, kHeight);
}

gfx::Rect Switch::knobRectForBounds(const gfx::Rect& bounds, bool on) const
{
    const gfx::Rect track = trackRectForBounds(bounds);
    const float size = kHeight - 2;
    return gfx::Rect(on ? track.maxX() - size - 1 : track.minX() + 1, track.minY() + 1, size, size);
}

void Switch::pressFromKeyboard()
{
    auto keep = weak_from_this().lock();
    setOn(!m_on, true);
    sendActionsForControlEvents(ControlEventValueChanged);
}

void Switch::endTrackingWithTouch(const Touch&)
{
    if (!isTouchInside())
        return;
    setOn(!m_on);
    sendActionsForControlEvents(ControlEventValueChanged);
}

void Switch::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    if (!isEnabled())
        context.setAlpha(context.alpha() * 0.5f);
    const gfx::Rect track = trackRectForBounds(b);
    const gfx::Path trackPath = roundedRectPath(track, track.height() * 0.5f);
    context.fillPath(roundedRectPath(track.insetBy(-0.5f, -0.5f), track.height() * 0.5f + 0.5f), gfx::Color::grey(0.45f, 0.9f));
    if (m_on)
        fillVerticalGradient(context, track, { gfx::Color::rgba(0.0f, 0.35f, 0.85f), gfx::Color::rgba(0.2f, 0.5f, 0.95f), gfx::Color::rgba(0.35f, 0.62f, 1.0f) }, trackPath);
    else
        fillVerticalGradient(context, track, { gfx::Color::grey(0.8f), gfx::Color::grey(0.95f), gfx::Color::white() }, trackPath);

    const gfx::Rect knob = knobRectForBounds(b, m_on);
    gfx::Path disc;
    disc.addArc(knob.center(), knob.width() * 0.5f, 0, 2 * std::numbers::pi_v<float>, false);
    const float shade = isHighlighted() ? 0.8f : 1.0f;
    fillVerticalGradient(context, knob, { gfx::Color::grey(1.0f * shade), gfx::Color::grey(0.9f * shade), gfx::Color::grey(0.78f * shade) }, disc);
    context.strokePath(disc, gfx::Color::grey(0.5f), 0.5f);
}

gfx::Size Switch::sizeThatFits(gfx::Size) const
{
    return { kWidth, kHeight };
}

} // namespace ui
