#include "ui/ActionSheet.h"

#include "ui/Appearance.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/Log.h"

#include <cmath>

namespace ui {

namespace {

constexpr float kButtonHeight = 46;
constexpr float kButtonGap = 8;
constexpr float kSide = 20;
// Wider than a handheld in portrait.
constexpr float kFullWidthLimit = 480;
constexpr double kSlideDuration = 0.3;

} // namespace

ActionSheet::ActionSheet(const std::string& title, ActionSheetDelegate* delegate, const std::string& cancelButtonTitle,
    const std::string& destructiveButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : m_title(title)
    , m_delegate(delegate)
{
    if (!destructiveButtonTitle.empty())
        m_destructiveIndex = addButtonWithTitle(destructiveButtonTitle);
    for (const auto& other : otherButtonTitles)
        if (!other.empty())
            addButtonWithTitle(other);
    if (!cancelButtonTitle.empty())
        setCancelButtonIndex(addButtonWithTitle(cancelButtonTitle));
}

void ActionSheet::showInView(View& view)
{
    Window* window = view.window();
    if (!window) {
        foundation::log("An action sheet cannot be shown in a view outside a window");
        return;
    }
    present(*window, true);
}

std::shared_ptr<Button> ActionSheet::makeButton(int index)
{
    auto button = std::make_shared<Button>();
    gfx::Color base = gfx::Color::grey(0.93f);
    gfx::Color title = gfx::Color::black();
    std::optional<gfx::Color> shadow = gfx::Color::grey(1, 0.6f);
    if (index == m_destructiveIndex) {
        base = gfx::Color::rgba(0.80f, 0.06f, 0.04f);
        title = gfx::Color::white();
        shadow = gfx::Color::grey(0, 0.5f);
    } else if (index == cancelButtonIndex()) {
        base = m_style == ActionSheetStyle::Default || m_style == ActionSheetStyle::Automatic ? gfx::Color::rgba(0.25f, 0.30f, 0.38f) : gfx::Color::grey(0.12f);
        title = gfx::Color::white();
        shadow = gfx::Color::grey(0, 0.5f);
    }
    button->setBackgroundImageForState(glossyButtonImage(base, gfx::Color::grey(0, 0.75f), kButtonHeight, 8), ControlStateNormal);
    button->setTitleForState(buttonTitleAtIndex(index), ControlStateNormal);
    button->setTitleColorForState(title, ControlStateNormal);
    button->setTitleShadowColorForState(shadow, ControlStateNormal);
    button->setFont(gfx::Font::boldSystemFont(19));
    // A long title in some languages is set smaller rather than cut.
    button->setMinimumFontSize(14);
    return button;
}

void ActionSheet::layoutPanel()
{
    for (auto& subview : std::vector<std::shared_ptr<View>>(panel().subviews()))
        if (!dynamic_cast<Button*>(subview.get()))
            subview->removeFromSuperview();
    const gfx::Rect b = bounds();
    // A phone-wide sheet spans the screen; on a wider one it keeps the phone's width, centred.
    const float width = b.width() > kFullWidthLimit ? Screen::kDesignSize.width : b.width();
    float y = 16;
    std::shared_ptr<Label> titleLabel;
    if (!m_title.empty()) {
        gfx::Font font = gfx::Font::systemFont(13);
        gfx::Size size = font.sizeOfText(m_title, width - kSide * 2, gfx::LineBreakMode::WordWrap);
        titleLabel = std::make_shared<Label>(gfx::Rect(kSide, y, width - kSide * 2, size.height));
        titleLabel->setText(m_title);
        titleLabel->setFont(font);
        titleLabel->setNumberOfLines(0);
        titleLabel->setLineBreakMode(gfx::LineBreakMode::WordWrap);
        titleLabel->setTextAlignment(gfx::TextAlignment::Center);
        titleLabel->setTextColor(gfx::Color::grey(0.85f));
        titleLabel->setBackgroundColor(std::nullopt);
        y += size.height + 12;
    }
    const auto& all = buttons();
    for (size_t i = 0; i < all.size(); ++i) {
        if (int(i) == cancelButtonIndex())
            continue;
        all[i]->setFrame(gfx::Rect(kSide, y, width - kSide * 2, kButtonHeight));
        y += kButtonHeight + kButtonGap;
    }
    if (cancelButtonIndex() >= 0 && size_t(cancelButtonIndex()) < all.size()) {
        y += kButtonGap;
        all[size_t(cancelButtonIndex())]->setFrame(gfx::Rect(kSide, y, width - kSide * 2, kButtonHeight));
        y += kButtonHeight + kButtonGap;
    }
    const float height = y + 8;
    panel().setFrame(gfx::Rect(std::round((b.width() - width) * 0.5f), b.height() - height, width, height));
    const ActionSheetStyle style = m_style;
    auto background = std::make_shared<ImageView>(renderImage({ width, height }, [&](gfx::Context& c) {
        gfx::Rect r(0, 0, width, height);
        if (style == ActionSheetStyle::Default || style == ActionSheetStyle::Automatic)
            fillVerticalGradient(c, r, { gfx::Color::rgba(0.42f, 0.48f, 0.57f, 0.96f), gfx::Color::rgba(0.24f, 0.29f, 0.37f, 0.96f) });
        else
            c.fillRect(r, gfx::Color::grey(0, style == ActionSheetStyle::BlackTranslucent ? 0.8f : 1.0f));
        c.fillRect(gfx::Rect(0, 0, width, 1), gfx::Color::grey(1, 0.3f));
    }));
    panel().insertSubviewAtIndex(background, 0);
    if (titleLabel)
        panel().insertSubviewAtIndex(titleLabel, 1);
}

void ActionSheet::animateIn(bool animated)
{
    if (!animated)
        return;
    const gfx::Rect resting = panel().frame();
    panel().setFrame(resting.offsetBy(0, resting.height()));
    setBackgroundColor(gfx::Color::grey(0, 0));
    View::beginAnimations("actionSheetIn");
    View::setAnimationDuration(kSlideDuration);
    panel().setFrame(resting);
    setBackgroundColor(gfx::Color::grey(0, 0.45f));
    View::commitAnimations();
}

void ActionSheet::animateOut()
{
    panel().setFrame(panel().frame().offsetBy(0, panel().frame().height()));
    setBackgroundColor(gfx::Color::grey(0, 0));
}

void ActionSheet::willDismiss(int index)
{
    if (m_delegate)
        m_delegate->actionSheetClickedButtonAtIndex(*this, index);
    if (m_delegate)
        m_delegate->actionSheetWillDismissWithButtonIndex(*this, index);
}

void ActionSheet::didDismiss(int index)
{
    setBackgroundColor(gfx::Color::grey(0, 0.45f));
    if (m_delegate)
        m_delegate->actionSheetDidDismissWithButtonIndex(*this, index);
}

void ActionSheet::fillAccessibilityData(AccessibilityData& data) const
{
    PopupView::fillAccessibilityData(data);
    if (data.role != AccessibilityRole::None)
        data.name = m_title;
}

} // namespace ui
