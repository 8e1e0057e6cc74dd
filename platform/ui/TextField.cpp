#include "ui/TextField.h"

#include "ui/Appearance.h"
#include "ui/Keyboard.h"
#include "ui/Window.h"

#include "foundation/RunLoop.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

constexpr float kHorizontalPadding = 8;
constexpr float kClearButtonSize = 19;
constexpr double kCaretBlinkInterval = 0.5;

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t previousBoundary(const std::string& text, size_t position)
{
    if (position == 0)
        return 0;
    --position;
    while (position > 0 && isContinuationByte(text[position]))
        --position;
    return position;
}

size_t nextBoundary(const std::string& text, size_t position)
{
    if (position >= text.size())
        return text.size();
    ++position;
    while (position < text.size() && isContinuationByte(text[position]))
        ++position;
    return position;
}

} // namespace

TextField::TextField(const gfx::Rect& frame)
    : Control(frame)
{
}

TextField::~TextField()
{
    stopCaretBlink();
}

void TextField::setText(const std::string& text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_caret = m_text.size();
    setNeedsDisplay();
}

void TextField::setPlaceholder(const std::string& placeholder)
{
    if (placeholder == m_placeholder)
        return;
    m_placeholder = placeholder;
    setNeedsDisplay();
}

void TextField::setFont(const gfx::Font& font)
{
    if (font == m_font)
        return;
    m_font = font;
    setNeedsDisplay();
}

void TextField::setTextColor(gfx::Color color)
{
    if (color == m_textColor)
        return;
    m_textColor = color;
    setNeedsDisplay();
}

void TextField::setTextAlignment(gfx::TextAlignment alignment)
{
    if (alignment == m_alignment)
        return;
    m_alignment = alignment;
    setNeedsDisplay();
}

void TextField::setBorderStyle(TextBorderStyle style)
{
    if (style == m_borderStyle)
        return;
    m_borderStyle = style;
    setNeedsDisplay();
}

void TextField::setClearButtonMode(TextFieldViewMode mode)
{
    if (mode == m_clearButtonMode)
        return;
    m_clearButtonMode = mode;
    setNeedsDisplay();
}

bool TextField::isClearButtonShown() const
{
    if (m_text.empty())
        return false;
    switch (m_clearButtonMode) {
    case TextFieldViewMode::Never:
        return false;
    case TextFieldViewMode::WhileEditing:
        return m_editing;
    case TextFieldViewMode::UnlessEditing:
        return !m_editing;
    case TextFieldViewMode::Always:
        return true;
    }
    return false;
}

gfx::Rect TextField::clearButtonRectForBounds(const gfx::Rect& b) const
{
    return gfx::Rect(b.maxX() - kClearButtonSize - 5, std::round(b.midY() - kClearButtonSize * 0.5f), kClearButtonSize, kClearButtonSize);
}

gfx::Rect TextField::textRectForBounds(const gfx::Rect& b) const
{
    const float padding = m_borderStyle == TextBorderStyle::None ? 0 : kHorizontalPadding;
    float right = b.maxX() - padding;
    if (isClearButtonShown())
        right = clearButtonRectForBounds(b).minX() - 4;
    const float height = m_font.lineHeight();
    return gfx::Rect(b.minX() + padding, std::round(b.midY() - height * 0.5f), std::max(right - b.minX() - padding, 0.0f), height);
}

// Editing

bool TextField::canBecomeFirstResponder() const
{
    return isEnabled();
}

bool TextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    Window* w = window();
    if (!w || !canBecomeFirstResponder())
        return false;
    auto keep = weak_from_this().lock();
    if (m_delegate && !m_delegate->textFieldShouldBeginEditing(*this))
        return false;
    Keyboard& keyboard = w->keyboard();
    // A field handing over to this one must not send the keyboard down in between.
    keyboard.setHandingOver(true);
    bool became = Control::becomeFirstResponder();
    keyboard.setHandingOver(false);
    if (!became) {
        if (!dynamic_cast<TextField*>(w->firstResponder()))
            keyboard.hide();
        return false;
    }
    m_editing = true;
    m_caret = m_text.size();
    startCaretBlink();
    setNeedsDisplay();
    keyboard.showForTextField(*this);
    if (m_delegate)
        m_delegate->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    return true;
}

bool TextField::canResignFirstResponder() const
{
    return true;
}

bool TextField::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    auto keep = weak_from_this().lock();
    if (m_delegate && !m_delegate->textFieldShouldEndEditing(*this))
        return false;
    if (!Control::resignFirstResponder())
        return false;
    m_editing = false;
    stopCaretBlink();
    setNeedsDisplay();
    if (Window* w = window())
        w->keyboard().hide();
    if (m_delegate)
        m_delegate->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    return true;
}

void TextField::textDidChange()
{
    m_caretVisible = true;
    startCaretBlink();
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventEditingChanged);
}

void TextField::setCaret(size_t caret)
{
    caret = std::min(caret, m_text.size());
    if (caret == m_caret)
        return;
    m_caret = caret;
    m_caretVisible = true;
    startCaretBlink();
    setNeedsDisplay();
}

void TextField::insertText(const std::string& text)
{
    if (!m_editing)
        return;
    // One line only: line breaks and tabs become nothing.
    std::string clean;
    for (char c : text)
        if (c != '\n' && c != '\r' && c != '\t')
            clean += c;
    if (clean.empty())
        return;
    m_text.insert(m_caret, clean);
    m_caret += clean.size();
    textDidChange();
}

void TextField::keyPressed(Key key)
{
    if (!m_editing) {
        Control::keyPressed(key);
        return;
    }
    auto keep = weak_from_this().lock();
    switch (key) {
    case Key::Return:
        if (!m_delegate || m_delegate->textFieldShouldReturn(*this))
            sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
        return;
    case Key::Backspace:
        if (m_caret > 0) {
            size_t from = previousBoundary(m_text, m_caret);
            m_text.erase(from, m_caret - from);
            m_caret = from;
            textDidChange();
        }
        return;
    case Key::Delete:
        if (m_caret < m_text.size()) {
            m_text.erase(m_caret, nextBoundary(m_text, m_caret) - m_caret);
            textDidChange();
        }
        return;
    case Key::Left:
        setCaret(previousBoundary(m_text, m_caret));
        return;
    case Key::Right:
        setCaret(nextBoundary(m_text, m_caret));
        return;
    case Key::Home:
        setCaret(0);
        return;
    case Key::End:
        setCaret(m_text.size());
        return;
    default:
        Control::keyPressed(key);
    }
}

// Touches

bool TextField::beginTrackingWithTouch(const Touch& touch)
{
    m_touchOnClearButton = isClearButtonShown() && clearButtonRectForBounds(bounds()).insetBy(-6, -6).containsPoint(touch.locationInView(this));
    return true;
}

void TextField::endTrackingWithTouch(const Touch& touch)
{
    if (!isTouchInside())
        return;
    auto keep = weak_from_this().lock();
    if (m_touchOnClearButton && isClearButtonShown()) {
        if (!m_delegate || m_delegate->textFieldShouldClear(*this)) {
            m_text.clear();
            m_caret = 0;
            textDidChange();
        }
        if (!m_editing)
            becomeFirstResponder();
        return;
    }
    if (!m_editing && !becomeFirstResponder())
        return;
    setCaret(caretForPoint(touch.locationInView(this)));
}

size_t TextField::caretForPoint(gfx::Point point) const
{
    gfx::Rect textRect = textRectForBounds(bounds());
    float x = point.x - textRect.minX() + scrollOffset(textRect);
    size_t best = 0;
    float bestDistance = std::abs(x);
    for (size_t position = nextBoundary(m_text, 0); position <= m_text.size() && position > 0;) {
        float distance = std::abs(x - m_font.widthOfText(m_text.substr(0, position)));
        if (distance < bestDistance) {
            best = position;
            bestDistance = distance;
        }
        if (position == m_text.size())
            break;
        position = nextBoundary(m_text, position);
    }
    return best;
}

float TextField::scrollOffset(const gfx::Rect& textRect) const
{
    // Text longer than the field scrolls so that the caret stays in view.
    if (!m_editing || m_font.widthOfText(m_text) <= textRect.width())
        return 0;
    float caretX = m_font.widthOfText(m_text.substr(0, m_caret));
    return std::max(0.0f, caretX - textRect.width() + 2);
}

void TextField::startCaretBlink()
{
    stopCaretBlink();
    m_caretVisible = true;
    std::weak_ptr<Responder> weak = weak_from_this();
    m_blink = foundation::RunLoop::main().scheduleTimer(kCaretBlinkInterval, true, [weak](foundation::Timer&) {
        if (auto self = std::static_pointer_cast<TextField>(weak.lock())) {
            self->m_caretVisible = !self->m_caretVisible;
            self->setNeedsDisplay();
        }
    });
}

void TextField::stopCaretBlink()
{
    if (m_blink) {
        m_blink->invalidate();
        m_blink.reset();
    }
}

// Drawing

void TextField::drawBorder(gfx::Context& context, const gfx::Rect& b)
{
    switch (m_borderStyle) {
    case TextBorderStyle::None:
        return;
    case TextBorderStyle::Line:
        context.strokePath(roundedRectPath(b.insetBy(0.5f, 0.5f), 0), gfx::Color::black(), 1);
        return;
    case TextBorderStyle::Bezel: {
        context.fillRect(b, gfx::Color::grey(0.45f));
        context.fillRect(b.insetBy(1, 1), gfx::Color::white());
        return;
    }
    case TextBorderStyle::RoundedRect: {
        gfx::Rect frame = b.insetBy(0.5f, 0.5f);
        context.fillPath(roundedRectPath(frame, 7), gfx::Color::grey(0.52f));
        gfx::Path inside = roundedRectPath(frame.insetBy(1, 1), 6);
        // A faint inner shadow along the top edge.
        fillVerticalGradient(context, gfx::Rect(frame.minX(), frame.minY(), frame.width(), 5), { gfx::Color::grey(0.82f), gfx::Color::white() }, inside);
        context.saveGState();
        context.clipToRect(gfx::Rect(frame.minX(), frame.minY() + 5, frame.width(), frame.height()));
        context.fillPath(inside, gfx::Color::white());
        context.restoreGState();
        return;
    }
    }
}

void TextField::drawRect(gfx::Context& context, const gfx::Rect&)
{
    const gfx::Rect b = bounds();
    if (!isEnabled())
        context.setAlpha(context.alpha() * 0.5f);
    drawBorder(context, b);
    gfx::Rect textRect = textRectForBounds(b);
    context.saveGState();
    context.clipToRect(textRect.insetBy(-2, -2));
    const float offset = scrollOffset(textRect);
    const bool overflowing = offset > 0 || m_font.widthOfText(m_text) > textRect.width();
    const gfx::TextAlignment alignment = overflowing ? gfx::TextAlignment::Left : m_alignment;
    if (m_text.empty()) {
        if (!m_placeholder.empty())
            context.drawText(m_placeholder, textRect, m_font, gfx::Color::grey(0.7f), m_alignment, gfx::LineBreakMode::TailTruncation, 1);
    } else {
        gfx::Rect shown(textRect.minX() - offset, textRect.minY(), std::max(textRect.width() + offset, m_font.widthOfText(m_text) + 1), textRect.height());
        if (alignment != gfx::TextAlignment::Left)
            shown = textRect;
        context.drawText(m_text, shown, m_font, m_textColor, alignment, m_editing ? gfx::LineBreakMode::Clip : gfx::LineBreakMode::TailTruncation, 1);
    }
    if (m_editing && m_caretVisible) {
        float textWidth = m_font.widthOfText(m_text);
        float start = textRect.minX();
        if (alignment == gfx::TextAlignment::Center)
            start = textRect.midX() - textWidth * 0.5f;
        else if (alignment == gfx::TextAlignment::Right)
            start = textRect.maxX() - textWidth;
        float x = std::round(start + m_font.widthOfText(m_text.substr(0, m_caret)) - offset);
        context.fillRect(gfx::Rect(x, textRect.minY() - 1, 2, textRect.height() + 2), gfx::Color::rgba(0.26f, 0.42f, 0.95f));
    }
    context.restoreGState();
    if (isClearButtonShown()) {
        gfx::Rect button = clearButtonRectForBounds(b);
        gfx::Path disc;
        disc.addArc(button.center(), kClearButtonSize * 0.5f, 0, 2 * std::numbers::pi_v<float>, false);
        context.fillPath(disc, gfx::Color::grey(m_touchOnClearButton && isHighlighted() ? 0.45f : 0.68f));
        gfx::Path cross;
        const float arm = 3.5f;
        gfx::Point c = button.center();
        cross.moveTo({ c.x - arm, c.y - arm });
        cross.lineTo({ c.x + arm, c.y + arm });
        cross.moveTo({ c.x + arm, c.y - arm });
        cross.lineTo({ c.x - arm, c.y + arm });
        context.strokePath(cross, gfx::Color::white(), 2);
    }
}

} // namespace ui
