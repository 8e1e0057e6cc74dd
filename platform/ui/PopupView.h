#pragma once

#include "ui/Button.h"
#include "ui/View.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class Window;

/// What alerts and action sheets share: a list of titled buttons on a panel shown over a
/// dimmed window, taking every touch until one of its buttons is tapped. The popup holds
/// itself in the window while shown, so its maker need not keep it. Main thread only.
class PopupView : public View {
public:
    /// Appends a button; returns its index (0 for the first).
    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return int(m_titles.size()); }
    /// The title of button index; empty for an index out of range.
    std::string buttonTitleAtIndex(int index) const;
    /// -1 for none.
    int cancelButtonIndex() const { return m_cancelIndex; }
    void setCancelButtonIndex(int index) { m_cancelIndex = index; }
    bool isVisible() const { return m_visible; }
    /// The button views, by index, while shown (for tests).
    const std::vector<std::shared_ptr<Button>>& buttons() const { return m_buttons; }
    /// Reports index as tapped and takes the popup away. Out-of-range indices report nothing.
    void dismissWithClickedButtonIndex(int index, bool animated);
    /// A window that changed its size lays the panel out again for the new size.
    void layoutSubviews() override;
    /// While shown, a modal dialog whose buttons are its children, which leaves everything
    /// behind it out; on its way out nothing.
    void fillAccessibilityData(AccessibilityData& data) const override;
    std::vector<View*> accessibilityChildViews() const override;
    /// The button Return answers with when no button has the keyboard focus; -1 for none.
    virtual int defaultButtonIndex() const { return -1; }
    /// The button Escape answers with: the cancel button, else a lone button; -1 for none.
    int escapeButtonIndex() const;
    /// Keys while the popup is in front (the window gives it every key): Return presses the
    /// focused button or the default one, Escape the escape button, the arrows move the focus
    /// between the buttons. Nothing reaches what lies behind.
    void keyPressed(Key key) override;

protected:
    PopupView();
    /// Shows the popup over window: makes the buttons, lays the panel out and animates in.
    void present(Window& window, bool animated);
    View& panel() { return *m_panel; }
    /// Makes the button of index (its look is the subclass's).
    virtual std::shared_ptr<Button> makeButton(int index) = 0;
    /// Places the panel and the buttons; the popup covers the window by then.
    virtual void layoutPanel() = 0;
    /// The entrance and the exit: set the panel's start (in) and end (out) values inside an
    /// open animation block; in also sets the resting values.
    virtual void animateIn(bool animated) = 0;
    virtual void animateOut() = 0;
    /// The delegate calls around a dismissal.
    virtual void willDismiss(int index) = 0;
    virtual void didDismiss(int index) = 0;

private:
    std::vector<std::string> m_titles;
    std::vector<std::shared_ptr<Button>> m_buttons;
    std::shared_ptr<View> m_panel;
    int m_cancelIndex { -1 };
    bool m_visible { false };
    gfx::Size m_laidOutSize;
};

} // namespace ui
