#pragma once

#include "ui/PopupView.h"

#include <string>
#include <vector>

namespace ui {

class AlertView;

/// What an alert tells its delegate (optional operations), on the main thread. The tapped
/// button's index comes first, then the will- and did-dismiss calls.
class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView&, int buttonIndex) { (void)buttonIndex; }
    virtual void alertViewWillDismissWithButtonIndex(AlertView&, int buttonIndex) { (void)buttonIndex; }
    virtual void alertViewDidDismissWithButtonIndex(AlertView&, int buttonIndex) { (void)buttonIndex; }
};

/// A modal message in a dark translucent panel in the middle of the window: a title, a
/// message and buttons. The cancel button, when given, has index 0 and the other buttons
/// follow in the order they were added. Two buttons stand side by side (cancel on the left),
/// more are stacked (cancel at the bottom). Main thread only.
class AlertView : public PopupView {
public:
    /// delegate is not owned; whoever sets it clears it before it goes away. An empty cancel
    /// title means no cancel button.
    AlertView(const std::string& title, const std::string& message, AlertViewDelegate* delegate,
        const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles = {});

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title) { m_title = title; }
    const std::string& message() const { return m_message; }
    void setMessage(const std::string& message) { m_message = message; }
    AlertViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(AlertViewDelegate* delegate) { m_delegate = delegate; }
    /// Shows the alert over the key window, popping in; nothing without a key window (a log
    /// line) or when it is shown already.
    void show();
    /// An alert named by its title; its labels (title and message) and buttons are its children.
    void fillAccessibilityData(AccessibilityData& data) const override;
    /// Return's button: the first that is not cancel, or cancel when it is alone.
    int defaultButtonIndex() const override;

    static constexpr float kWidth = 284;

protected:
    std::shared_ptr<Button> makeButton(int index) override;
    void layoutPanel() override;
    void animateIn(bool animated) override;
    void animateOut() override;
    void willDismiss(int index) override;
    void didDismiss(int index) override;

private:
    std::string m_title;
    std::string m_message;
    AlertViewDelegate* m_delegate { nullptr };
    gfx::Rect m_titleRect;
    gfx::Rect m_messageRect;

    friend class AlertPanelPainter;
};

} // namespace ui
