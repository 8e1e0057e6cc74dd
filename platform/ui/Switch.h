#pragma once

#include "ui/Control.h"

namespace ui {

/// An on/off switch: a rounded track, blue when on, with a round knob at the end that is on.
///
/// A tap (touch up inside) turns it over and sends value changed once; a touch that ends
/// outside, or is cancelled, changes nothing. Setting the value in code sends nothing. A
/// disabled switch is drawn faded and takes no touches. Main thread only.
class Switch : public Control {
public:
    /// The switch's own size; frames of other sizes are drawn at this size, centred.
    static constexpr float kWidth = 79;
    static constexpr float kHeight = 27;

    explicit Switch(const gfx::Rect& frame = {});

    bool isOn() const { return m_on; }
    void setOn(bool on, bool animated = false);

    /// The knob in the switch's coordinates, for the value given.
    gfx::Rect knobRectForBounds(const gfx::Rect& bounds, bool on) const;

    void endTrackingWithTouch(const Touch& touch) override;
    /// Space or Return with the focus turn it over, as a tap does.
    void pressFromKeyboard() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    gfx::Size sizeThatFits(gfx::Size size) const override;
    /// A check box, checked while on; Press turns it as a tap does.
    void fillAccessibilityData(AccessibilityData& data) const override;
    bool performAccessibilityAction(AccessibilityAction action, int part) override;

private:
    gfx::Rect trackRectForBounds(const gfx::Rect& bounds) const;

    bool m_on { false };
};

} // namespace ui
