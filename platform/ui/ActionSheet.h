#pragma once

#include "ui/PopupView.h"

#include <string>
#include <vector>

namespace ui {

class ActionSheet;

/// The look of an action sheet (the platform's values).
enum class ActionSheetStyle {
    Automatic = -1,
    Default = 0,
    BlackOpaque = 1,
    BlackTranslucent = 2,
};

/// What an action sheet tells its delegate (optional operations), on the main thread.
class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(ActionSheet&, int buttonIndex) { (void)buttonIndex; }
    virtual void actionSheetWillDismissWithButtonIndex(ActionSheet&, int buttonIndex) { (void)buttonIndex; }
    virtual void actionSheetDidDismissWithButtonIndex(ActionSheet&, int buttonIndex) { (void)buttonIndex; }
};

/// A modal choice that slides up from the bottom of the window: an optional title and a
/// column of buttons in the order of their indices, the destructive one red and the cancel
/// one dark and set apart at the bottom. Main thread only.
class ActionSheet : public PopupView {
public:
    /// The destructive button (if any) comes first, then the others, then cancel (if any);
    /// empty titles are left out. delegate is not owned.
    ActionSheet(const std::string& title, ActionSheetDelegate* delegate, const std::string& cancelButtonTitle = {},
        const std::string& destructiveButtonTitle = {}, const std::vector<std::string>& otherButtonTitles = {});

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title) { m_title = title; }
    ActionSheetDelegate* delegate() const { return m_delegate; }
    void setDelegate(ActionSheetDelegate* delegate) { m_delegate = delegate; }
    /// -1 for none.
    int destructiveButtonIndex() const { return m_destructiveIndex; }
    void setDestructiveButtonIndex(int index) { m_destructiveIndex = index; }
    ActionSheetStyle actionSheetStyle() const { return m_style; }
    void setActionSheetStyle(ActionSheetStyle style) { m_style = style; }
    /// Slides the sheet up over the window of view; nothing (a log line) when view is in no
    /// window, or when the sheet is shown already.
    void showInView(View& view);
    /// A dialog named by its title.
    void fillAccessibilityData(AccessibilityData& data) const override;

protected:
    std::shared_ptr<Button> makeButton(int index) override;
    void layoutPanel() override;
    void animateIn(bool animated) override;
    void animateOut() override;
    void willDismiss(int index) override;
    void didDismiss(int index) override;

private:
    std::string m_title;
    ActionSheetDelegate* m_delegate { nullptr };
    int m_destructiveIndex { -1 };
    ActionSheetStyle m_style { ActionSheetStyle::Automatic };
};

} // namespace ui
