#pragma once

#include "ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {
class Timer;
}

namespace ui {

class PickerView;

/// What a picker asks and tells its delegate. Only the number of rows must be answered; the
/// other operations have the platform's defaults.
class PickerViewDelegate {
public:
    virtual ~PickerViewDelegate() = default;
    virtual int numberOfComponentsInPickerView(PickerView& pickerView)
    {
        (void)pickerView;
        return 1;
    }
    virtual int pickerViewNumberOfRowsInComponent(PickerView& pickerView, int component) = 0;
    /// The text of a row; empty shows nothing.
    virtual std::string pickerViewTitleForRowForComponent(PickerView& pickerView, int row, int component)
    {
        (void)pickerView;
        (void)row;
        (void)component;
        return {};
    }
    /// In points; 0 or less shares the wheels' room equally among such components.
    virtual float pickerViewWidthForComponent(PickerView& pickerView, int component)
    {
        (void)pickerView;
        (void)component;
        return 0;
    }
    /// In points; 0 or less takes the default of 40.
    virtual float pickerViewRowHeightForComponent(PickerView& pickerView, int component)
    {
        (void)pickerView;
        (void)component;
        return 0;
    }
    /// The user turned a wheel and it came to rest on row. Not called for selectRowInComponent.
    virtual void pickerViewDidSelectRowInComponent(PickerView& pickerView, int row, int component)
    {
        (void)pickerView;
        (void)row;
        (void)component;
    }
};

/// Spinning wheels of rows, one per component, with the row under the middle line selected.
///
/// The delegate gives the components, their widths, row heights and titles; the picker asks
/// again on reloadAllComponents. A wheel turns under a drag, with momentum after the finger
/// lifts, and always comes to rest exactly on a row; a tap on a row above or below the middle
/// turns it there. The delegate hears of the row once, when a wheel the user turned comes to
/// rest; selecting in code tells it nothing. Positions are in rows and all motion runs on the
/// run loop's clock. The delegate is not owned. Main thread only.
class PickerView : public View {
public:
    explicit PickerView(const gfx::Rect& frame = {});
    ~PickerView() override;

    PickerViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(PickerViewDelegate* delegate);

    bool showsSelectionIndicator() const { return m_showsSelectionIndicator; }
    void setShowsSelectionIndicator(bool shows);

    int numberOfComponents() const;
    int numberOfRowsInComponent(int component) const;
    /// The width and row height a component has now; zero for a component that does not exist.
    gfx::Size rowSizeForComponent(int component) const;
    /// Asks the delegate for everything again; selections are kept where the rows still exist.
    void reloadAllComponents();
    void reloadComponent(int component);

    /// Puts row (clamped to the rows there are) under the middle line, turning the wheel there
    /// when animated. Does not call the delegate. Nothing for a component that does not exist.
    void selectRowInComponent(int row, int component, bool animated);
    /// The row selected in component, or -1 when it has no rows (or does not exist).
    int selectedRowInComponent(int component) const;
    /// Where a wheel stands now, in rows (fractional while it turns).
    float wheelPositionInComponent(int component) const;
    /// Whether some wheel is turning or held by a finger.
    bool isSpinning() const;

    /// The picker's own size, whatever it is offered: 320 × 216 points.
    gfx::Size sizeThatFits(gfx::Size size) const override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void layoutSubviews() override;

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    /// The wheel under the pointer turns with it and rests on a row once the turning stops.
    void scrollWheel(const WheelEvent& event) override;
    /// Up and Down turn the wheel last touched one row; Home and End go to its first and last.
    void keyPressed(Key key) override;
    /// A list whose parts are the rows of every wheel in turn (list items named by their
    /// titles, the row each wheel rests on selected); Press on a row turns its wheel there as
    /// the user would, so the delegate hears of it when it rests.
    void fillAccessibilityData(AccessibilityData& data) const override;
    int accessibilityPartCount() const override;
    void fillAccessibilityPartData(int part, AccessibilityData& data) const override;
    gfx::Rect accessibilityPartFrame(int part) const override;
    bool performAccessibilityAction(AccessibilityAction action, int part) override;
    /// A stop of Tab while it has rows; the ring goes round the wheels.
    bool canBecomeKeyboardFocus() const override;
    gfx::Rect keyboardFocusRect() const override { return bounds().insetBy(6, 6); }

    static constexpr float kNaturalWidth = 320;
    static constexpr float kNaturalHeight = 216;
    static constexpr float kDefaultRowHeight = 40;

    /// The wheels' frame inside the bounds and one component's part of it.
    gfx::Rect wheelsRect() const;
    gfx::Rect rectForComponent(int component) const;

private:
    struct Component;
    struct Drag;

    void loadComponent(int component);
    void redrawComponent(int component);
    int componentAtPoint(gfx::Point point) const;
    /// Lets the wheel go from where it stands with velocity (points per second): it coasts
    /// and comes to rest on a row.
    void release(int component, double velocity, bool byUser);
    void turnToRow(int component, int row, bool byUser);
    /// Moves the wheel by points as a wheel turn or a key does, resting on a row afterwards.
    void nudge(int component, float points);
    void startMotion();
    bool stepWheels(double now);
    void drawComponent(gfx::Context& context, int component) const;
    /// The wheel and row of an accessibility part; false for a part out of range.
    bool componentAndRowOfPart(int part, int& component, int& row) const;

    PickerViewDelegate* m_delegate { nullptr };
    bool m_showsSelectionIndicator { false };
    std::vector<Component> m_components;
    std::unique_ptr<Drag> m_drag;
    /// The component the last touch or wheel turn went to (the one keys turn).
    int m_focusedComponent { 0 };
    std::shared_ptr<void> m_motion;
    double m_lastStep { 0 };
    std::shared_ptr<foundation::Timer> m_wheelRest;
};

} // namespace ui
