#pragma once

#include "ui/Control.h"

namespace ui {

/// A horizontal slider: a thumb on a track between a minimum and a maximum value.
///
/// Only a touch that lands on the thumb (with a small margin) moves it; such a touch sends
/// touch down once. A continuous slider sends value changed whenever a drag changes the
/// value; one that is not continuous sends it exactly once, when the finger is lifted (or
/// the touch is cancelled), whether or not the value moved, so that every touch down is
/// answered. Setting the value in code sends nothing. Main thread only.
class Slider : public Control {
public:
    explicit Slider(const gfx::Rect& frame = {});

    float value() const { return m_value; }
    /// Clamped to the minimum and maximum. Animated moves the thumb in a short animation.
    void setValue(float value, bool animated = false);
    float minimumValue() const { return m_minimum; }
    /// The value is clamped again; a maximum below the minimum is raised to it.
    void setMinimumValue(float minimum);
    float maximumValue() const { return m_maximum; }
    void setMaximumValue(float maximum);
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }
    /// How far an arrow key moves the thumb; 0 (the default) is a tenth of the range.
    float keyboardStep() const { return m_keyboardStep; }
    void setKeyboardStep(float step) { m_keyboardStep = step; }

    /// With the keyboard focus, Left and Down move the thumb down by a step, Right and Up up,
    /// Home and End to the ends; each move is told as a drag would be (touch down, value
    /// changed, touch up inside).
    void keyPressed(Key key) override;
    /// The track and the thumb in the slider's coordinates.
    gfx::Rect trackRectForBounds(const gfx::Rect& bounds) const;
    gfx::Rect thumbRectForBounds(const gfx::Rect& bounds, float value) const;

    bool beginTrackingWithTouch(const Touch& touch) override;
    bool continueTrackingWithTouch(const Touch& touch) override;
    void endTrackingWithTouch(const Touch& touch) override;
    void cancelTrackingWithTouch(const Touch* touch) override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    gfx::Size sizeThatFits(gfx::Size size) const override;
    /// A slider with its value on its scale, moved by a tenth of it by Increment and Decrement.
    /// A value set from outside is a whole drag: touch down, the value, value changed (also
    /// when not continuous), touch up inside.
    void fillAccessibilityData(AccessibilityData& data) const override;
    bool performAccessibilityAction(AccessibilityAction action, int part) override;
    bool setAccessibilityValue(float value) override;

    static constexpr float kThumbSize = 23;

protected:
    void stateDidChange() override;

private:
    float valueForThumbCentre(float x) const;

    float m_value { 0 };
    float m_minimum { 0 };
    float m_maximum { 1 };
    bool m_continuous { true };
    float m_grabOffset { 0 };
    float m_keyboardStep { 0 };
};

} // namespace ui
