#include "ui/EditableText.h"

#include "foundation/TextBoundaries.h"
#include "foundation/UnicodeText.h"

#include <algorithm>

namespace ui {

namespace {

// Enough steps for any correction; a long session does not grow without end.
constexpr std::size_t kUndoLimit = 200;

} // namespace

void EditableText::setText(const std::string& text)
{
    m_text = cleaned(text);
    m_anchor = m_caret = m_text.size();
    m_marked.clear();
    m_markedCursor = 0;
    m_undo.clear();
    m_redo.clear();
    breakRun();
}

std::string EditableText::selectedText() const
{
    return m_text.substr(selectionStart(), selectionEnd() - selectionStart());
}

std::size_t EditableText::previousBoundary(std::size_t offset) const
{
    return foundation::previousCharacterBoundary(m_text, offset);
}

std::size_t EditableText::nextBoundary(std::size_t offset) const
{
    return foundation::nextCharacterBoundary(m_text, offset);
}

void EditableText::setSelection(std::size_t anchor, std::size_t caret)
{
    // An offset inside a character stands at the character's start.
    auto aligned = [this](std::size_t offset) {
        offset = std::min(offset, m_text.size());
        if (offset == 0 || offset == m_text.size())
            return offset;
        return foundation::previousCharacterBoundary(m_text, foundation::nextCharacterBoundary(m_text, offset));
    };
    const std::size_t newAnchor = aligned(anchor), newCaret = aligned(caret);
    if (newAnchor != m_anchor || newCaret != m_caret)
        breakRun();
    m_anchor = newAnchor;
    m_caret = newCaret;
}

void EditableText::moveCaret(std::size_t offset, bool extend)
{
    setSelection(extend ? m_anchor : offset, offset);
}

std::string EditableText::cleaned(const std::string& text) const
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            // "\r\n" is one break.
            if (i + 1 < text.size() && text[i + 1] == '\n')
                continue;
            out += m_multiline ? '\n' : ' ';
        } else if (c == '\n') {
            out += m_multiline ? '\n' : ' ';
        } else if (c == '\t') {
            out += ' ';
        } else if (c >= 0x20 && c != 0x7f) {
            out += char(c);
        }
    }
    if (foundation::isValidUtf8(out))
        return out;
    // Keep what is UTF-8; a stray byte is dropped.
    std::string valid;
    for (std::size_t i = 0; i < out.size();) {
        std::size_t length = 1;
        const unsigned char lead = static_cast<unsigned char>(out[i]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        if (i + length <= out.size() && foundation::isValidUtf8(std::string_view(out).substr(i, length))) {
            valid.append(out, i, length);
            i += length;
        } else {
            ++i;
        }
    }
    return valid;
}

void EditableText::record(EditKind kind)
{
    // Typing (or deleting) right where the last one left the caret joins its step.
    const bool joins = (kind == EditKind::Typing || kind == EditKind::Deleting) && kind == m_runKind && m_caret == m_runCaret
        && !hasSelection() && !m_undo.empty();
    if (!joins) {
        m_undo.push_back({ m_text, m_anchor, m_caret });
        if (m_undo.size() > kUndoLimit)
            m_undo.erase(m_undo.begin());
    }
    m_redo.clear();
}

bool EditableText::replaceSelection(const std::string& text, EditKind kind)
{
    const std::string clean = cleaned(text);
    if (clean.empty() && !hasSelection())
        return false;
    record(kind);
    const std::size_t start = selectionStart();
    m_text.replace(start, selectionEnd() - start, clean);
    m_anchor = m_caret = start + clean.size();
    m_runKind = kind;
    m_runCaret = m_caret;
    return true;
}

bool EditableText::deleteBackward(bool word)
{
    const bool selection = hasSelection();
    std::size_t from = selectionStart();
    const std::size_t to = selectionEnd();
    if (!selection) {
        if (m_caret == 0)
            return false;
        from = word ? foundation::previousWordStart(m_text, m_caret) : previousBoundary(m_caret);
    }
    // Characters deleted one after another are one step; a selection or a word is one of its own.
    const EditKind kind = selection || word ? EditKind::Other : EditKind::Deleting;
    record(kind);
    m_text.erase(from, to - from);
    m_anchor = m_caret = from;
    m_runKind = kind;
    m_runCaret = m_caret;
    return true;
}

bool EditableText::deleteForward(bool word)
{
    if (!hasSelection()) {
        if (m_caret >= m_text.size())
            return false;
        m_anchor = word ? foundation::nextWordEnd(m_text, m_caret) : nextBoundary(m_caret);
    }
    record(EditKind::Other);
    const std::size_t start = selectionStart();
    m_text.erase(start, selectionEnd() - start);
    m_anchor = m_caret = start;
    breakRun();
    return true;
}

bool EditableText::undo()
{
    return step(m_undo, m_redo);
}

bool EditableText::redo()
{
    return step(m_redo, m_undo);
}

// Goes back to the latest state of from, keeping the present one in to.
bool EditableText::step(std::vector<Snapshot>& from, std::vector<Snapshot>& to)
{
    if (from.empty())
        return false;
    to.push_back({ m_text, m_anchor, m_caret });
    Snapshot state = std::move(from.back());
    from.pop_back();
    m_text = std::move(state.text);
    m_anchor = state.anchor;
    m_caret = state.caret;
    m_marked.clear();
    breakRun();
    return true;
}

void EditableText::setMarkedText(const std::string& text, std::size_t cursor)
{
    m_marked = cleaned(text);
    m_markedCursor = std::min(cursor, m_marked.size());
}

std::string EditableText::displayText() const
{
    if (m_marked.empty())
        return m_text;
    std::string shown = m_text;
    shown.insert(m_caret, m_marked);
    return shown;
}

} // namespace ui
