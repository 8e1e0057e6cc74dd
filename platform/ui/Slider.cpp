#include "ui/Slider.h"

#include "ui/Appearance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

// The thumb and its shadow stand out of a slider that is lower than the thumb; a redraw of
// the bounds alone would leave the old thumb's edges on the screen.
void redrawWithThumb(Slider& slider)
{
    const gfx::Rect b = slider.bounds();
    const float overflow = std::max((Slider::kThumbSize - b.height()) * 0.5f, 0.0f) + 2;
    slider.setNeedsDisplayInRect(b.insetBy(-1, -overflow));
}

} // namespace

Slider::Slider(const gfx::Rect& frame)
    : Control(frame)
{
}

void Slider::setValue(float value, bool animated)
{
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    // The thumb is drawn, not a view, so an animated move is a plain redraw here.
    (void)animated;
    redrawWithThumb(*this);
    announceAccessibilityChange(*this, AccessibilityChange::Value);
}

void Slider::fillAccessibilityData(AccessibilityData& data) const
{
    Control::fillAccessibilityData(data);
    data.role = AccessibilityRole::Slider;
    data.range = AccessibilityRange { m_minimum, m_maximum, m_value, (m_maximum - m_minimum) / 10 };
    data.actions = { AccessibilityAction::Increment, AccessibilityAction::Decrement };
}

bool Slider::performAccessibilityAction(AccessibilityAction action, int part)
{
    if (part >= 0 || action == AccessibilityAction::Press)
        return false;
    const float step = (m_maximum - m_minimum) / 10;
    return setAccessibilityValue(m_value + (action == AccessibilityAction::Increment ? step : -step));
}

bool Slider::setAccessibilityValue(float value)
{
    if (!isEnabled() || !window() || !std::isfinite(value))
        return false;
    auto keep = sharedView();
    sendActionsForControlEvents(ControlEventTouchDown);
    setValue(value);
    sendActionsForControlEvents(ControlEventValueChanged);
    sendActionsForControlEvents(ControlEventTouchUpInside);
    return true;
}

void Slider::setMinimumValue(float minimum)
{
    m_minimum = minimum;
    m_maximum = std::max(m_maximum, minimum);
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    redrawWithThumb(*this);
}

void Slider::setMaximumValue(float maximum)
{
    m_maximum = std::max(maximum, m_minimum);
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    redrawWithThumb(*this);
}

gfx::Rect Slider::trackRectForBounds(const gfx::Rect& b) const
{
    const float height = 9;
    return gfx::Rect(b.minX() + 2, std::round(b.midY() - height * 0.5f), std::max(b.width() - 4, 0.0f), height);
}

gfx::Rect Slider::thumbRectForBounds(const gfx::Rect& b, float value) const
{
    float span = std::max(b.width() - kThumbSize, 0.0f);
    float fraction = m_maximum > m_minimum ? (value - m_minimum) / (m_maximum - m_minimum) : 0;
    float x = b.minX() + std::clamp(fraction, 0.0f, 1.0f) * span;
    return gfx::Rect(std::round(x), std::round(b.midY() - kThumbSize * 0.5f), kThumbSize, kThumbSize);
}

float Slider::valueForThumbCentre(float x) const
{
    const gfx::Rect b = bounds();
    float span = b.width() - kThumbSize;
    if (span <= 0)
        return m_minimum;
    float fraction = std::clamp((x - b.minX() - kThumbSize * 0.5f) / span, 0.0f, 1.0f);
    return m_minimum + fraction * (m_maximum - m_minimum);
}

bool Slider::beginTrackingWithTouch(const Touch& touch)
{
    gfx::Point p = touch.locationInView(this);
    gfx::Rect thumb = thumbRectForBounds(bounds(), m_value);
    if (!thumb.insetBy(-10, -10).containsPoint(p))
        return false;
    m_grabOffset = p.x - thumb.midX();
    return true;
}

bool Slider::continueTrackingWithTouch(const Touch& touch)
{
    float old = m_value;
    setValue(valueForThumbCentre(touch.locationInView(this).x - m_grabOffset));
    if (m_continuous && m_value != old)
        sendActionsForControlEvents(ControlEventValueChanged);
    return true;
}

void Slider::endTrackingWithTouch(const Touch& touch)
{
    float old = m_value;
    setValue(valueForThumbCentre(touch.locationInView(this).x - m_grabOffset));
    if (!m_continuous || m_value != old)
        sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::cancelTrackingWithTouch(const Touch* touch)
{
    const bool wasTracking = isTracking();
    Control::cancelTrackingWithTouch(touch);
    if (wasTracking && !m_continuous)
        sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    if (!isEnabled())
        context.setAlpha(context.alpha() * 0.5f);
    gfx::Rect track = trackRectForBounds(b);
    gfx::Rect thumb = thumbRectForBounds(b, m_value);
    gfx::Path trackPath = roundedRectPath(track, track.height() * 0.5f);
    context.fillPath(roundedRectPath(track.insetBy(-0.5f, -0.5f), track.height() * 0.5f + 0.5f), gfx::Color::grey(0.1f, 0.8f));
    // The part left of the thumb is blue, the rest white, both with a gloss.
    context.saveGState();
    context.clipToRect(gfx::Rect(track.minX(), track.minY(), thumb.midX() - track.minX(), track.height()));
    fillVerticalGradient(context, track, { gfx::Color::rgba(0.25f, 0.47f, 0.87f), gfx::Color::rgba(0.45f, 0.65f, 0.98f), gfx::Color::rgba(0.55f, 0.75f, 1.0f) }, trackPath);
    context.restoreGState();
    context.saveGState();
    context.clipToRect(gfx::Rect(thumb.midX(), track.minY(), track.maxX() - thumb.midX(), track.height()));
    fillVerticalGradient(context, track, { gfx::Color::grey(0.72f), gfx::Color::grey(0.97f), gfx::Color::white() }, trackPath);
    context.restoreGState();

    gfx::Path shadow;
    shadow.addArc({ thumb.midX(), thumb.midY() + 1 }, kThumbSize * 0.5f, 0, 2 * std::numbers::pi_v<float>, false);
    context.fillPath(shadow, gfx::Color::grey(0, 0.45f));
    gfx::Path disc;
    disc.addArc(thumb.center(), kThumbSize * 0.5f - 0.5f, 0, 2 * std::numbers::pi_v<float>, false);
    const float shade = isHighlighted() ? 0.8f : 1.0f;
    fillVerticalGradient(context, thumb, { gfx::Color::grey(1.0f * shade), gfx::Color::grey(0.86f * shade), gfx::Color::grey(0.72f * shade) }, disc);
    context.strokePath(disc, gfx::Color::grey(0.45f), 0.5f);
}

void Slider::stateDidChange()
{
    redrawWithThumb(*this);
}

gfx::Size Slider::sizeThatFits(gfx::Size size) const
{
    return { size.width, kThumbSize };
}

void Slider::keyPressed(Key key)
{
    if (!hasKeyboardFocus() || (key != Key::Left && key != Key::Right && key != Key::Up && key != Key::Down && key != Key::Home && key != Key::End)) {
        Control::keyPressed(key);
        return;
    }
    const float step = m_keyboardStep > 0 ? m_keyboardStep : (m_maximum - m_minimum) / 10;
    float value = m_value;
    if (key == Key::Left || key == Key::Down)
        value -= step;
    else if (key == Key::Right || key == Key::Up)
        value += step;
    else
        value = key == Key::Home ? m_minimum : m_maximum;
    auto keep = weak_from_this().lock();
    sendActionsForControlEvents(ControlEventTouchDown);
    setValue(value);
    sendActionsForControlEvents(ControlEventValueChanged);
    sendActionsForControlEvents(ControlEventTouchUpInside);
}

} // namespace ui
