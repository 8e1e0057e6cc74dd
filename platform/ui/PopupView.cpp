#include "ui/PopupView.h"

#include "ui/Window.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double kFadeOutDuration = 0.25;

} // namespace

PopupView::PopupView()
    : m_panel(std::make_shared<View>())
{
    setBackgroundColor(gfx::Color::grey(0, 0.45f));
    addSubview(m_panel);
}

int PopupView::addButtonWithTitle(const std::string& title)
{
    m_titles.push_back(title);
    return int(m_titles.size()) - 1;
}

std::string PopupView::buttonTitleAtIndex(int index) const
{
    return index >= 0 && size_t(index) < m_titles.size() ? m_titles[size_t(index)] : std::string();
}

void PopupView::present(Window& window, bool animated)
{
    if (m_visible)
        return;
    m_visible = true;
    for (auto& button : m_buttons)
        button->removeFromSuperview();
    m_buttons.clear();
    for (int i = 0; i < numberOfButtons(); ++i) {
        auto button = makeButton(i);
        button->addTargetActionForControlEvents(this, [this, i](Control&) { dismissWithClickedButtonIndex(i, true); }, ControlEventTouchUpInside);
        m_panel->addSubview(button);
        m_buttons.push_back(button);
    }
    setFrame(window.bounds());
    setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    layoutPanel();
    m_laidOutSize = bounds().size;
    window.addOverlayView(sharedView(), Window::kAlertLevel);
    animateIn(animated);
    announceAccessibilityChange(*this, AccessibilityChange::ScreenShown);
}

void PopupView::fillAccessibilityData(AccessibilityData& data) const
{
    if (!m_visible)
        return;
    data.role = AccessibilityRole::Dialog;
    data.states |= AccessibilityStateModal;
}

std::vector<View*> PopupView::accessibilityChildViews() const
{
    return m_visible ? View::accessibilityChildViews() : std::vector<View*>();
}

void PopupView::layoutSubviews()
{
    if (!m_visible || bounds().size == m_laidOutSize)
        return;
    m_laidOutSize = bounds().size;
    layoutPanel();
}

int PopupView::escapeButtonIndex() const
{
    if (m_cancelIndex >= 0 && m_cancelIndex < numberOfButtons())
        return m_cancelIndex;
    return numberOfButtons() == 1 ? 0 : -1;
}

void PopupView::keyPressed(Key key)
{
    if (!m_visible)
        return;
    Window* w = window();
    View* focus = w ? w->keyboardFocus() : nullptr;
    auto focused = std::find_if(m_buttons.begin(), m_buttons.end(), [&](const auto& b) { return b.get() == focus; });
    switch (key) {
    case Key::Return:
        if (focused != m_buttons.end())
            (*focused)->pressFromKeyboard();
        else if (int index = defaultButtonIndex(); index >= 0)
            dismissWithClickedButtonIndex(index, true);
        break;
    case Key::Escape:
        if (int index = escapeButtonIndex(); index >= 0)
            dismissWithClickedButtonIndex(index, true);
        break;
    case Key::Up:
    case Key::Left:
    case Key::Down:
    case Key::Right:
        if (w)
            w->moveKeyboardFocus(key == Key::Up || key == Key::Left);
        break;
    default:
        break;
    }
}

void PopupView::dismissWithClickedButtonIndex(int index, bool animated)
{
    if (!m_visible)
        return;
    auto keep = sharedView();
    m_visible = false;
    if (superview())
        announceAccessibilityChange(*superview(), AccessibilityChange::Children);
    // No second tap while it goes.
    setUserInteractionEnabled(false);
    const bool valid = index >= 0 && index < numberOfButtons();
    if (valid)
        willDismiss(index);
    // The window holds the popup until finish takes it out; the callback holds no reference,
    // so that nothing the animation keeps can keep the popup alive.
    std::weak_ptr<Responder> weak = weak_from_this();
    auto finish = [weak, index, valid] {
        auto self = std::static_pointer_cast<PopupView>(weak.lock());
        if (!self)
            return;
        self->removeFromSuperview();
        self->setUserInteractionEnabled(true);
        self->setAlpha(1);
        if (valid)
            self->didDismiss(index);
    };
    if (!animated) {
        finish();
        return;
    }
    View::beginAnimations("popupOut");
    View::setAnimationDuration(kFadeOutDuration);
    View::setAnimationDidStopSelector([finish](const std::string&, bool, void*) { finish(); });
    animateOut();
    View::commitAnimations();
}

} // namespace ui
