#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ui {

/// What kind of change an edit is, for undo: runs of typing (or of deleting) become one step.
enum class EditKind { Typing, Deleting, Paste, Cut, Composition, Other };

/// The text being edited in a text field or text view, as a value with no drawing: the UTF-8
/// text, the selection (an anchor and the caret, always on character boundaries, so never
/// inside a UTF-8 sequence or between a letter and its accent), the composition an input
/// method shows at the caret, and undo and redo.
///
/// Each edit replaces the selection and is one step of undo, except that typing or deleting
/// one character after another at the same place adds to the step before; moving the caret
/// ends the run. Text of one line takes line breaks and tabs as blanks. Main thread only.
class EditableText {
public:
    explicit EditableText(bool multiline = false)
        : m_multiline(multiline)
    {
    }

    const std::string& text() const { return m_text; }
    /// Replaces the text from outside (not an edit: undo forgets what came before); the caret
    /// goes to the end and the composition goes.
    void setText(const std::string& text);
    bool isMultiline() const { return m_multiline; }

    std::size_t caret() const { return m_caret; }
    std::size_t anchor() const { return m_anchor; }
    std::size_t selectionStart() const { return m_anchor < m_caret ? m_anchor : m_caret; }
    std::size_t selectionEnd() const { return m_anchor < m_caret ? m_caret : m_anchor; }
    bool hasSelection() const { return m_anchor != m_caret; }
    std::string selectedText() const;
    /// Selects from anchor to caret, each moved back to a character boundary (and to the text).
    void setSelection(std::size_t anchor, std::size_t caret);
    /// Moves the caret to offset; with extend the anchor stays, so the selection grows or
    /// shrinks; without it the selection collapses there.
    void moveCaret(std::size_t offset, bool extend);
    void selectAll() { setSelection(0, m_text.size()); }

    /// Replaces the selection with text (cleaned for one line when the text is). False when
    /// nothing changed.
    bool replaceSelection(const std::string& text, EditKind kind);
    /// Backspace: the selection, else the character (or with word the word) before the caret.
    bool deleteBackward(bool word);
    /// Delete: the selection, else the character (or word) after the caret.
    bool deleteForward(bool word);

    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    /// Goes back one step (text and selection as they were); false when there is none.
    bool undo();
    bool redo();

    /// The input method's composition, shown at the caret but not part of the text.
    const std::string& markedText() const { return m_marked; }
    std::size_t markedCursor() const { return m_markedCursor; }
    /// Replaces the composition (empty ends it); the cursor is a byte offset into it.
    void setMarkedText(const std::string& text, std::size_t cursor);
    /// The text as shown: the composition stands at the caret.
    std::string displayText() const;

    /// How the caret boundaries are found; the offsets every move lands on.
    std::size_t previousBoundary(std::size_t offset) const;
    std::size_t nextBoundary(std::size_t offset) const;

    /// Text as it may go in: valid UTF-8 without control characters, line breaks as "\n" in
    /// a text of several lines and as blanks in one of one line.
    std::string cleaned(const std::string& text) const;

private:
    struct Snapshot {
        std::string text;
        std::size_t anchor;
        std::size_t caret;
    };
    void record(EditKind kind);
    bool step(std::vector<Snapshot>& from, std::vector<Snapshot>& to);
    void breakRun() { m_runKind = EditKind::Other; }

    std::string m_text;
    std::size_t m_anchor { 0 };
    std::size_t m_caret { 0 };
    bool m_multiline { false };
    std::string m_marked;
    std::size_t m_markedCursor { 0 };
    std::vector<Snapshot> m_undo;
    std::vector<Snapshot> m_redo;
    /// The run of typing or deleting that the next such edit joins, and where it must happen.
    EditKind m_runKind { EditKind::Other };
    std::size_t m_runCaret { 0 };
};

} // namespace ui
