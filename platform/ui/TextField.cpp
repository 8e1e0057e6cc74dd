#include "ui/TextField.h"

#include "ui/Appearance.h"
#include "ui/Application.h"
#include "ui/Keyboard.h"
#include "ui/Pasteboard.h"
#include "ui/Window.h"

#include "foundation/RunLoop.h"
#include "foundation/TextBoundaries.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

constexpr float kHorizontalPadding = 8;
constexpr float kClearButtonSize = 19;
constexpr double kCaretBlinkInterval = 0.5;

const gfx::Color kCaretColor = gfx::Color::rgba(0.26f, 0.42f, 0.95f);
const gfx::Color kSelectionColor = gfx::Color::rgba(0.70f, 0.80f, 0.98f);

} // namespace

TextField::TextField(const gfx::Rect& frame)
    : TextField(frame, false)
{
}

TextField::TextField(const gfx::Rect& frame, bool multiline)
    : Control(frame)
    , m_edit(multiline)
{
}

TextField::~TextField()
{
    stopCaretBlink();
}

void TextField::setText(const std::string& text)
{
    if (text == m_edit.text() && m_edit.markedText().empty())
        return;
    m_edit.setText(text);
    scrollToCaret();
    setNeedsDisplay();
    if (m_editing)
        Application::sharedApplication().textInputDidChange(TextInputChange::Changed);
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
    if (m_edit.text().empty())
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
    m_edit.moveCaret(m_edit.text().size(), false);
    scrollToCaret();
    startCaretBlink();
    setNeedsDisplay();
    keyboard.showForTextField(*this);
    Application::sharedApplication().textInputDidChange(TextInputChange::Began);
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
    // A composition left unfinished is the user's text: it is kept as typed.
    if (!m_edit.markedText().empty()) {
        const std::string marked = m_edit.markedText();
        m_edit.setMarkedText("", 0);
        m_edit.replaceSelection(marked, EditKind::Composition);
    }
    m_editing = false;
    m_edit.moveCaret(m_edit.caret(), false);
    stopCaretBlink();
    setNeedsDisplay();
    if (Window* w = window())
        w->keyboard().hide();
    Application::sharedApplication().textInputDidChange(TextInputChange::Ended);
    if (m_delegate)
        m_delegate->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    return true;
}

void TextField::editingDidChange()
{
    m_caretVisible = true;
    startCaretBlink();
    scrollToCaret();
    setNeedsDisplay();
    Application::sharedApplication().textInputDidChange(TextInputChange::Changed);
}

void TextField::textDidChange()
{
    editingDidChange();
    sendActionsForControlEvents(ControlEventEditingChanged);
    announceAccessibilityChange(*this, AccessibilityChange::Value);
}

void TextField::fillAccessibilityData(AccessibilityData& data) const
{
    Control::fillAccessibilityData(data);
    data.role = AccessibilityRole::EditableText;
    data.name = m_placeholder;
    data.value = text();
    if (isEnabled())
        data.states |= AccessibilityStateEditable;
    data.actions = { AccessibilityAction::Focus, AccessibilityAction::Press };
}

bool TextField::performAccessibilityAction(AccessibilityAction action, int part)
{
    if (part >= 0 || !isEnabled() || !window())
        return false;
    auto keep = sharedView();
    if (action == AccessibilityAction::Press && m_editing) {
        keyPressed(Key::Return);
        return true;
    }
    if (action != AccessibilityAction::Press && action != AccessibilityAction::Focus)
        return false;
    return m_editing || becomeFirstResponder();
}

bool TextField::setAccessibilityText(const std::string& text)
{
    if (!isEnabled() || !window())
        return false;
    auto keep = sharedView();
    if (!m_editing && !becomeFirstResponder())
        return false;
    setText(text);
    textDidChange();
    return true;
}

void TextField::selectionDidChange()
{
    editingDidChange();
    offerPrimarySelection();
}

void TextField::offerPrimarySelection()
{
    // What is selected is the primary selection (X11), as in every other program there.
    if (m_edit.hasSelection())
        Pasteboard::selectionPasteboard().setString(m_edit.selectedText());
}

void TextField::setSelectedRange(size_t anchor, size_t caret)
{
    m_edit.setSelection(anchor, caret);
    selectionDidChange();
}

void TextField::selectAll()
{
    m_edit.selectAll();
    selectionDidChange();
}

void TextField::insertText(const std::string& text)
{
    if (!m_editing)
        return;
    auto keep = weak_from_this().lock();
    m_edit.setMarkedText("", 0);
    if (m_edit.replaceSelection(text, EditKind::Typing))
        textDidChange();
}

bool TextField::cut()
{
    if (!m_editing || !m_edit.hasSelection())
        return false;
    auto keep = weak_from_this().lock();
    Pasteboard::generalPasteboard().setString(m_edit.selectedText());
    m_edit.replaceSelection("", EditKind::Cut);
    textDidChange();
    return true;
}

bool TextField::copy()
{
    if (!m_edit.hasSelection())
        return false;
    Pasteboard::generalPasteboard().setString(m_edit.selectedText());
    return true;
}

bool TextField::paste()
{
    if (!m_editing)
        return false;
    auto keep = weak_from_this().lock();
    const std::string pasted = Pasteboard::generalPasteboard().string();
    if (pasted.empty() || !m_edit.replaceSelection(pasted, EditKind::Paste))
        return false;
    textDidChange();
    return true;
}

bool TextField::undo()
{
    if (!m_editing || !m_edit.undo())
        return false;
    auto keep = weak_from_this().lock();
    textDidChange();
    return true;
}

bool TextField::redo()
{
    if (!m_editing || !m_edit.redo())
        return false;
    auto keep = weak_from_this().lock();
    textDidChange();
    return true;
}

size_t TextField::offsetAbove(size_t) const
{
    return 0;
}

size_t TextField::offsetBelow(size_t) const
{
    return m_edit.text().size();
}

std::pair<size_t, size_t> TextField::lineRangeAt(size_t) const
{
    return { 0, m_edit.text().size() };
}

void TextField::keyPressed(Key key)
{
    if (!m_editing) {
        Control::keyPressed(key);
        return;
    }
    KeyCommand command;
    command.key = key;
    if (!performKeyCommand(command))
        Control::keyPressed(key);
}

void TextField::pressFromKeyboard()
{
    becomeFirstResponder();
}

bool TextField::performKeyCommand(const KeyCommand& command)
{
    if (!m_editing)
        return Control::performKeyCommand(command);
    auto keep = weak_from_this().lock();
    const bool control = command.control && !command.alt;
    const bool extend = command.shift;
    if (control && !command.character.empty()) {
        const std::string& c = command.character;
        if (c == "a")
            selectAll();
        else if (c == "c")
            copy();
        else if (c == "x")
            cut();
        else if (c == "v")
            paste();
        else if (c == "z")
            extend ? redo() : undo();
        else if (c == "y")
            redo();
        else
            return false;
        // An editing key does what it can; one with nothing to do still belongs to the field.
        return true;
    }
    if (!command.key || command.alt)
        return false;
    const size_t caret = m_edit.caret();
    auto move = [&](size_t offset) {
        m_edit.moveCaret(offset, extend);
        selectionDidChange();
    };
    switch (*command.key) {
    case Key::Return:
        if (!m_delegate || m_delegate->textFieldShouldReturn(*this))
            sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
        return true;
    case Key::Backspace:
        if (m_edit.deleteBackward(control))
            textDidChange();
        return true;
    case Key::Delete:
        if (m_edit.deleteForward(control))
            textDidChange();
        return true;
    case Key::Left:
        if (control)
            move(foundation::previousWordStart(m_edit.text(), caret));
        else if (m_edit.hasSelection() && !extend)
            move(m_edit.selectionStart());
        else
            move(m_edit.previousBoundary(caret));
        return true;
    case Key::Right:
        if (control)
            move(foundation::nextWordEnd(m_edit.text(), caret));
        else if (m_edit.hasSelection() && !extend)
            move(m_edit.selectionEnd());
        else
            move(m_edit.nextBoundary(caret));
        return true;
    case Key::Up:
        move(control ? 0 : offsetAbove(caret));
        return true;
    case Key::Down:
        move(control ? m_edit.text().size() : offsetBelow(caret));
        return true;
    case Key::Home:
        move(control ? 0 : lineRangeAt(caret).first);
        return true;
    case Key::End:
        move(control ? m_edit.text().size() : lineRangeAt(caret).second);
        return true;
    default:
        return false;
    }
}

// The input method

TextInputState TextField::textInputState() const
{
    TextInputState state;
    state.text = m_edit.text();
    state.caret = m_edit.caret();
    state.anchor = m_edit.anchor();
    state.multiline = m_edit.isMultiline();
    const gfx::Point at = pointForDisplayOffset(displayCaret());
    state.caretRect = convertRectToView(gfx::Rect(at.x, at.y, 1, m_font.lineHeight()), nullptr);
    return state;
}

void TextField::handleInputMethodEvent(const InputMethodEvent& event)
{
    if (!m_editing)
        return;
    auto keep = weak_from_this().lock();
    m_edit.setMarkedText("", 0);
    if (event.replacement)
        m_edit.setSelection(event.replacement->first, event.replacement->second);
    // A composition that begins over a selection replaces it, as typing would.
    if (!event.commit.empty() || event.replacement || (!event.preedit.empty() && m_edit.hasSelection()))
        m_edit.replaceSelection(event.commit, EditKind::Composition);
    m_edit.setMarkedText(event.preedit, event.preeditCursor);
    textDidChange();
}

void TextField::pastePrimarySelectionAtPoint(gfx::Point point)
{
    if (!isEnabled() || isHidden())
        return;
    auto keep = weak_from_this().lock();
    if (!m_editing && !becomeFirstResponder())
        return;
    const std::string selection = Pasteboard::selectionPasteboard().string();
    m_edit.moveCaret(offsetForPoint(convertPointFromView(point, nullptr)), false);
    if (m_edit.replaceSelection(selection, EditKind::Paste))
        textDidChange();
    else
        selectionDidChange();
}

// Touches

bool TextField::beginTrackingWithTouch(const Touch& touch)
{
    const gfx::Point location = touch.locationInView(this);
    m_touchOnClearButton = isClearButtonShown() && clearButtonRectForBounds(bounds()).insetBy(-6, -6).containsPoint(location);
    m_dragTaps = 0;
    if (m_touchOnClearButton)
        return true;
    auto keep = weak_from_this().lock();
    if (!m_editing && !becomeFirstResponder())
        return true;
    // A press places the caret, a second one takes the word, a third everything; a drag
    // from there selects.
    m_dragTaps = touch.tapCount() >= 3 ? 3 : touch.tapCount();
    const size_t at = offsetForPoint(location);
    if (m_dragTaps == 3) {
        m_dragStart = 0;
        m_dragEnd = m_edit.text().size();
    } else if (m_dragTaps == 2) {
        std::tie(m_dragStart, m_dragEnd) = foundation::wordRange(m_edit.text(), at);
    } else {
        m_dragStart = m_dragEnd = at;
    }
    m_edit.setMarkedText("", 0);
    m_edit.setSelection(m_dragStart, m_dragEnd);
    editingDidChange();
    return true;
}

bool TextField::continueTrackingWithTouch(const Touch& touch)
{
    if (m_touchOnClearButton || m_dragTaps == 0 || !m_editing)
        return true;
    size_t at = offsetForPoint(touch.locationInView(this));
    if (m_dragTaps == 2) {
        // After a double press the selection grows by whole words.
        auto [wordStart, wordEnd] = foundation::wordRange(m_edit.text(), at);
        if (at < m_dragStart)
            m_edit.setSelection(m_dragEnd, wordStart);
        else
            m_edit.setSelection(m_dragStart, std::max(wordEnd, m_dragEnd));
    } else if (m_dragTaps == 1) {
        m_edit.setSelection(m_dragStart, at);
    }
    editingDidChange();
    return true;
}

void TextField::endTrackingWithTouch(const Touch&)
{
    auto keep = weak_from_this().lock();
    if (m_touchOnClearButton) {
        if (isTouchInside() && isClearButtonShown()) {
            if (!m_delegate || m_delegate->textFieldShouldClear(*this)) {
                m_edit.selectAll();
                m_edit.replaceSelection("", EditKind::Other);
                textDidChange();
            }
            if (!m_editing)
                becomeFirstResponder();
        }
        return;
    }
    offerPrimarySelection();
}

size_t TextField::displayOffset(size_t textOffset) const
{
    return textOffset <= m_edit.caret() ? textOffset : textOffset + m_edit.markedText().size();
}

size_t TextField::displayCaret() const
{
    return m_edit.caret() + m_edit.markedCursor();
}

gfx::Point TextField::pointForDisplayOffset(size_t offset) const
{
    const gfx::Rect textRect = textRectForBounds(bounds());
    const std::string shown = displayText();
    const float textWidth = m_font.widthOfText(shown);
    float start = textRect.minX();
    const bool overflowing = textWidth > textRect.width();
    if (!overflowing && m_alignment == gfx::TextAlignment::Center)
        start = textRect.midX() - textWidth * 0.5f;
    else if (!overflowing && m_alignment == gfx::TextAlignment::Right)
        start = textRect.maxX() - textWidth;
    return { start - scrollOffset(textRect) + m_font.widthOfText(shown.substr(0, std::min(offset, shown.size()))), textRect.minY() };
}

size_t TextField::offsetForPoint(gfx::Point point) const
{
    // The nearest caret place along the line; no text is drawn for the composition's part.
    const std::string& text = m_edit.text();
    size_t best = 0;
    float bestDistance = -1;
    for (size_t position : foundation::characterBoundaries(text)) {
        const float x = pointForDisplayOffset(displayOffset(position)).x;
        const float distance = std::abs(point.x - x);
        if (bestDistance < 0 || distance < bestDistance) {
            best = position;
            bestDistance = distance;
        }
    }
    return best;
}

float TextField::scrollOffset(const gfx::Rect& textRect) const
{
    // Text longer than the field scrolls so that the caret stays in view.
    const std::string shown = displayText();
    if (!m_editing || m_font.widthOfText(shown) <= textRect.width())
        return 0;
    float caretX = m_font.widthOfText(shown.substr(0, displayCaret()));
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

void TextField::drawLine(gfx::Context& context, const std::string& shown, size_t start, size_t end, float x, float y, bool caretAtEnd)
{
    const float height = m_font.lineHeight();
    auto xAt = [&](size_t offset) { return x + m_font.widthOfText(shown.substr(start, std::clamp(offset, start, end) - start)); };
    // The selection lies behind its text.
    if (m_edit.hasSelection()) {
        const size_t from = std::max(start, displayOffset(m_edit.selectionStart()));
        const size_t to = std::min(end, displayOffset(m_edit.selectionEnd()));
        if (from < to)
            context.fillRect(gfx::Rect(xAt(from), y, xAt(to) - xAt(from), height), kSelectionColor);
    }
    context.drawText(shown.substr(start, end - start), gfx::Rect(x, y, m_font.widthOfText(shown.substr(start, end - start)) + 1, height), m_font,
        m_textColor, gfx::TextAlignment::Left, gfx::LineBreakMode::Clip, 1);
    // The composition, underlined, until the input method commits it.
    if (const auto& marked = m_edit.markedText(); !marked.empty()) {
        const size_t from = std::max(start, m_edit.caret()), to = std::min(end, m_edit.caret() + marked.size());
        if (from < to)
            context.fillRect(gfx::Rect(xAt(from), y + height - 2, xAt(to) - xAt(from), 1), m_textColor);
    }
    const size_t caret = displayCaret();
    if (showsCaret() && caret >= start && (caret < end || (caret == end && caretAtEnd)))
        context.fillRect(gfx::Rect(std::round(xAt(caret)), y - 1, 2, height + 2), kCaretColor);
}

void TextField::drawEditedText(gfx::Context& context, const gfx::Rect& textRect)
{
    const std::string shown = displayText();
    const float offset = scrollOffset(textRect);
    const bool overflowing = offset > 0 || m_font.widthOfText(shown) > textRect.width();
    if (!m_editing && overflowing) {
        context.drawText(shown, textRect, m_font, m_textColor, gfx::TextAlignment::Left, gfx::LineBreakMode::TailTruncation, 1);
        return;
    }
    drawLine(context, shown, 0, shown.size(), pointForDisplayOffset(0).x, textRect.minY());
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
    if (m_edit.text().empty() && m_edit.markedText().empty()) {
        if (!m_placeholder.empty())
            context.drawText(m_placeholder, textRect, m_font, gfx::Color::grey(0.7f), m_alignment, gfx::LineBreakMode::TailTruncation, 1);
        if (showsCaret()) {
            const gfx::Point at = pointForDisplayOffset(0);
            context.fillRect(gfx::Rect(std::round(at.x), at.y - 1, 2, m_font.lineHeight() + 2), kCaretColor);
        }
    } else {
        drawEditedText(context, textRect);
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
