#include "ui/AlertView.h"

#include "ui/Appearance.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Window.h"

#include "foundation/Log.h"

#include <cmath>

namespace ui {

namespace {

constexpr float kPadding = 12;
constexpr float kButtonHeight = 43;
constexpr float kButtonGap = 10;
const gfx::Font kTitleFont = gfx::Font::boldSystemFont(18);
const gfx::Font kMessageFont = gfx::Font::systemFont(16);

void drawPanel(gfx::Context& context, gfx::Size size)
{
    gfx::Rect frame = gfx::Rect(gfx::Point {}, size).insetBy(1.5f, 1.5f);
    context.fillPath(roundedRectPath(frame.insetBy(-1.5f, -1.5f), 11.5f), gfx::Color::grey(0, 0.35f));
    context.fillPath(roundedRectPath(frame, 10), gfx::Color::grey(0.92f, 0.95f));
    gfx::Rect inner = frame.insetBy(2, 2);
    gfx::Path body = roundedRectPath(inner, 8);
    fillVerticalGradient(context, inner, { gfx::Color::rgba(0.10f, 0.15f, 0.33f, 0.92f), gfx::Color::rgba(0.03f, 0.07f, 0.20f, 0.92f) }, body);
    // The glass: a bright band over the top that fades out.
    context.saveGState();
    context.clipToPath(body);
    gfx::Path sheen;
    sheen.addArc({ inner.midX(), inner.minY() - inner.width() * 1.6f + 42 }, inner.width() * 1.6f, 0, 6.2831853f, false);
    fillVerticalGradient(context, gfx::Rect(inner.minX(), inner.minY(), inner.width(), 42), { gfx::Color::grey(1, 0.34f), gfx::Color::grey(1, 0.10f) }, sheen);
    context.restoreGState();
}

} // namespace

AlertView::AlertView(const std::string& title, const std::string& message, AlertViewDelegate* delegate,
    const std::string& cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : m_title(title)
    , m_message(message)
    , m_delegate(delegate)
{
    if (!cancelButtonTitle.empty())
        setCancelButtonIndex(addButtonWithTitle(cancelButtonTitle));
    for (const auto& other : otherButtonTitles)
        addButtonWithTitle(other);
}

void AlertView::show()
{
    Window* window = Window::keyWindow();
    if (!window) {
        foundation::log("An alert cannot be shown without a key window");
        return;
    }
    present(*window, true);
}

int AlertView::defaultButtonIndex() const
{
    for (int i = 0; i < numberOfButtons(); ++i)
        if (i != cancelButtonIndex())
            return i;
    return numberOfButtons() > 0 ? 0 : -1;
}

std::shared_ptr<Button> AlertView::makeButton(int index)
{
    auto button = std::make_shared<Button>();
    const bool cancel = index == cancelButtonIndex();
    gfx::Color base = cancel ? gfx::Color::rgba(0.13f, 0.18f, 0.33f, 0.95f) : gfx::Color::rgba(0.32f, 0.38f, 0.54f, 0.95f);
    button->setBackgroundImageForState(glossyButtonImage(base, gfx::Color::grey(0, 0.7f), kButtonHeight, 6), ControlStateNormal);
    button->setTitleForState(buttonTitleAtIndex(index), ControlStateNormal);
    button->setTitleShadowColorForState(gfx::Color::grey(0, 0.5f), ControlStateNormal);
    button->setFont(gfx::Font::boldSystemFont(18));
    // A long title in some languages is set smaller rather than cut.
    button->setMinimumFontSize(13);
    return button;
}

void AlertView::layoutPanel()
{
    const float textWidth = kWidth - kPadding * 2 - 4;
    for (auto& subview : std::vector<std::shared_ptr<View>>(panel().subviews()))
        if (!dynamic_cast<Button*>(subview.get()))
            subview->removeFromSuperview();
    float y = 18;
    std::vector<std::shared_ptr<Label>> labels;
    for (auto [text, font] : { std::pair { m_title, kTitleFont }, std::pair { m_message, kMessageFont } }) {
        if (text.empty())
            continue;
        gfx::Size size = font.sizeOfText(text, textWidth, gfx::LineBreakMode::WordWrap);
        auto label = std::make_shared<Label>(gfx::Rect(kPadding + 2, y, textWidth, size.height));
        label->setText(text);
        label->setFont(font);
        label->setTextColor(gfx::Color::white());
        label->setShadowColor(gfx::Color::grey(0, 0.6f));
        label->setBackgroundColor(std::nullopt);
        label->setTextAlignment(gfx::TextAlignment::Center);
        label->setNumberOfLines(0);
        label->setLineBreakMode(gfx::LineBreakMode::WordWrap);
        labels.push_back(label);
        y += size.height + 8;
    }
    y += 8;
    const auto& all = buttons();
    const float buttonWidth = kWidth - kPadding * 2 - 4;
    if (all.size() == 2) {
        // Side by side, the cancel button on the left.
        float half = (buttonWidth - kButtonGap) * 0.5f;
        size_t left = cancelButtonIndex() == 1 ? 1 : 0;
        all[left]->setFrame(gfx::Rect(kPadding + 2, y, half, kButtonHeight));
        all[1 - left]->setFrame(gfx::Rect(kPadding + 2 + half + kButtonGap, y, half, kButtonHeight));
        y += kButtonHeight + kButtonGap;
    } else {
        for (size_t i = 0; i < all.size(); ++i) {
            if (int(i) == cancelButtonIndex())
                continue;
            all[i]->setFrame(gfx::Rect(kPadding + 2, y, buttonWidth, kButtonHeight));
            y += kButtonHeight + kButtonGap;
        }
        if (cancelButtonIndex() >= 0 && size_t(cancelButtonIndex()) < all.size()) {
            all[size_t(cancelButtonIndex())]->setFrame(gfx::Rect(kPadding + 2, y, buttonWidth, kButtonHeight));
            y += kButtonHeight + kButtonGap;
        }
    }
    const float height = y + kPadding - kButtonGap + 4;
    const gfx::Rect b = bounds();
    panel().setFrame(gfx::Rect(std::round((b.width() - kWidth) * 0.5f), std::round((b.height() - height) * 0.5f), kWidth, height));
    auto background = std::make_shared<ImageView>(renderImage({ kWidth, height }, [&](gfx::Context& c) { drawPanel(c, { kWidth, height }); }));
    panel().insertSubviewAtIndex(background, 0);
    for (auto& label : labels)
        panel().insertSubviewAtIndex(label, 1);
}

void AlertView::animateIn(bool animated)
{
    if (!animated)
        return;
    // Pops in: grows past its size, then settles.
    setAlpha(0);
    panel().setTransform(gfx::AffineTransform::makeScale(0.6f, 0.6f));
    std::weak_ptr<Responder> weak = weak_from_this();
    View::beginAnimations("alertIn");
    View::setAnimationDuration(0.2);
    View::setAnimationDidStopSelector([weak](const std::string&, bool, void*) {
        auto self = std::static_pointer_cast<AlertView>(weak.lock());
        if (!self || !self->isVisible())
            return;
        View::beginAnimations("alertSettle");
        View::setAnimationDuration(0.1);
        self->panel().setTransform({});
        View::commitAnimations();
    });
    setAlpha(1);
    panel().setTransform(gfx::AffineTransform::makeScale(1.06f, 1.06f));
    View::commitAnimations();
}

void AlertView::animateOut()
{
    setAlpha(0);
}

void AlertView::willDismiss(int index)
{
    if (m_delegate)
        m_delegate->alertViewClickedButtonAtIndex(*this, index);
    if (m_delegate)
        m_delegate->alertViewWillDismissWithButtonIndex(*this, index);
}

void AlertView::didDismiss(int index)
{
    panel().setTransform({});
    if (m_delegate)
        m_delegate->alertViewDidDismissWithButtonIndex(*this, index);
}

void AlertView::fillAccessibilityData(AccessibilityData& data) const
{
    PopupView::fillAccessibilityData(data);
    if (data.role == AccessibilityRole::None)
        return;
    data.role = AccessibilityRole::Alert;
    data.name = m_title;
}

} // namespace ui
