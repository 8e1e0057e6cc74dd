#pragma once

#include "ui/Control.h"
#include "ui/EditableText.h"
#include "ui/TextInput.h"

#include "graphics/Font.h"

#include <memory>
#include <string>
#include <utility>

namespace foundation {
class Timer;
}

namespace ui {

class TextField;

/// The border of a text field (the platform's values).
enum class TextBorderStyle {
    None = 0,
    Line = 1,
    Bezel = 2,
    RoundedRect = 3,
};

/// When a text field shows its clear button (the platform's values).
enum class TextFieldViewMode {
    Never = 0,
    WhileEditing = 1,
    UnlessEditing = 2,
    Always = 3,
};

/// The keys the on-screen keyboard offers (the platform's values).
enum class KeyboardType {
    Default = 0,
    ASCIICapable = 1,
    NumbersAndPunctuation = 2,
    URL = 3,
    NumberPad = 4,
    PhonePad = 5,
    NamePhonePad = 6,
    EmailAddress = 7,
};

/// The caption of the keyboard's return key (the platform's values).
enum class ReturnKeyType {
    Default = 0,
    Go = 1,
    Google = 2,
    Join = 3,
    Next = 4,
    Route = 5,
    Search = 6,
    Send = 7,
    Yahoo = 8,
    Done = 9,
    EmergencyCall = 10,
};

/// What a text field asks and tells its delegate; every operation is optional (the defaults
/// allow everything and do nothing). Called on the main thread.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField&) { return true; }
    virtual void textFieldDidBeginEditing(TextField&) { }
    virtual bool textFieldShouldEndEditing(TextField&) { return true; }
    virtual void textFieldDidEndEditing(TextField&) { }
    /// The clear button was tapped; false keeps the text.
    virtual bool textFieldShouldClear(TextField&) { return true; }
    /// The return key was pressed (on the physical or the on-screen keyboard). The field does
    /// nothing else by itself: the delegate resigns it if editing should end.
    virtual bool textFieldShouldReturn(TextField&) { return true; }
};

/// A one-line editable text with a placeholder, a border and a clear button, edited as on any
/// desktop.
///
/// A press makes it the first responder, which begins editing and brings up the keyboard
/// (the window's drawn keys, or nothing where the system types, Keyboard); resigning ends
/// editing and sends the keyboard down (unless another text field takes over at once, when
/// the keyboard stays). While editing:
/// - a press places the caret, a drag selects, a double press selects the word and a triple
///   press everything; the selection shows behind the text and becomes the primary selection;
/// - typed text replaces the selection; Backspace and Delete remove it or one character
///   (Control: one word); the arrows, Home and End move the caret (Control: by words), and
///   with Shift extend the selection; Control+A selects everything;
/// - Control+X, C and V cut, copy and paste through the clipboard (Pasteboard), Control+Z
///   undoes and Control+Shift+Z or Control+Y redoes;
/// - an input method's composition shows underlined at the caret until it commits.
/// Return asks the delegate (textFieldShouldReturn) and sends editing did end on exit. Text is
/// UTF-8, the caret never splits a character, and words are found as ICU finds them. The
/// host's input method hears of every change (Application::textInputDidChange). Main thread.
class TextField : public Control, public TextInput {
public:
    explicit TextField(const gfx::Rect& frame = {});
    ~TextField() override;

    const std::string& text() const { return m_edit.text(); }
    /// Replaces the text and puts the caret at its end; sends no events and forgets undo.
    void setText(const std::string& text);
    const std::string& placeholder() const { return m_placeholder; }
    void setPlaceholder(const std::string& placeholder);
    gfx::Font font() const { return m_font; }
    void setFont(const gfx::Font& font);
    gfx::Color textColor() const { return m_textColor; }
    void setTextColor(gfx::Color color);
    gfx::TextAlignment textAlignment() const { return m_alignment; }
    void setTextAlignment(gfx::TextAlignment alignment);
    TextBorderStyle borderStyle() const { return m_borderStyle; }
    void setBorderStyle(TextBorderStyle style);
    TextFieldViewMode clearButtonMode() const { return m_clearButtonMode; }
    void setClearButtonMode(TextFieldViewMode mode);
    KeyboardType keyboardType() const { return m_keyboardType; }
    void setKeyboardType(KeyboardType type) { m_keyboardType = type; }
    ReturnKeyType returnKeyType() const { return m_returnKeyType; }
    void setReturnKeyType(ReturnKeyType type) { m_returnKeyType = type; }
    /// Not owned; whoever sets it clears it before it goes away.
    TextFieldDelegate* delegate() const { return m_delegate; }
    void setDelegate(TextFieldDelegate* delegate) { m_delegate = delegate; }

    bool isEditing() const { return m_editing; }
    /// The caret as a byte offset into the text (always at a character boundary).
    size_t caretPosition() const { return m_edit.caret(); }
    /// The selection as byte offsets [start, end); empty at the caret when nothing is selected.
    std::pair<size_t, size_t> selectedRange() const { return { m_edit.selectionStart(), m_edit.selectionEnd() }; }
    std::string selectedText() const { return m_edit.selectedText(); }
    /// Selects from anchor to caret (byte offsets, moved to character boundaries).
    void setSelectedRange(size_t anchor, size_t caret);
    void selectAll();
    /// The composition of an input method shown now, if any.
    const std::string& markedText() const { return m_edit.markedText(); }
    /// The editing state, for tests: undo and redo.
    const EditableText& editableText() const { return m_edit; }

    /// Whether the clear button shows now.
    bool isClearButtonShown() const;
    gfx::Rect clearButtonRectForBounds(const gfx::Rect& bounds) const;
    virtual gfx::Rect textRectForBounds(const gfx::Rect& bounds) const;

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool canResignFirstResponder() const override;
    bool resignFirstResponder() override;
    void insertText(const std::string& text) override;
    void keyPressed(Key key) override;
    /// While editing: the editing keys above; anything else is left to the window (false),
    /// never to the screens behind, so no shortcut acts while typing.
    bool performKeyCommand(const KeyCommand& command) override;
    /// Editable text named by its placeholder, its text the value. Focus begins editing as a
    /// tap does; Press does too, and in a field being edited is the return key. A text set from
    /// outside begins editing and replaces the whole text as typing would.
    void fillAccessibilityData(AccessibilityData& data) const override;
    bool performAccessibilityAction(AccessibilityAction action, int part) override;
    bool setAccessibilityText(const std::string& text) override;
    /// Return or Space on the focused field begins editing.
    void pressFromKeyboard() override;

    // The desktop's input method and the primary selection.
    TextInputState textInputState() const override;
    void handleInputMethodEvent(const InputMethodEvent& event) override;
    void pastePrimarySelectionAtPoint(gfx::Point point) override;

    // The clipboard: false when nothing was done (no selection, nothing to paste).
    bool cut();
    bool copy();
    bool paste();
    bool undo();
    bool redo();

    bool beginTrackingWithTouch(const Touch& touch) override;
    bool continueTrackingWithTouch(const Touch& touch) override;
    void endTrackingWithTouch(const Touch& touch) override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

protected:
    /// For a field of several lines (TextView).
    explicit TextField(const gfx::Rect& frame, bool multiline);

    /// Where the caret stands for a byte offset of the text shown (the text with the
    /// composition), in the field's coordinates: the top of its line and its x.
    virtual gfx::Point pointForDisplayOffset(size_t offset) const;
    /// The byte offset of the text nearest to point (field coordinates).
    virtual size_t offsetForPoint(gfx::Point point) const;
    /// Draws the text, the selection, the composition and the caret in textRect.
    virtual void drawEditedText(gfx::Context& context, const gfx::Rect& textRect);
    /// Up and Down (with extend for Shift): a field of one line goes to the start or the end.
    virtual size_t offsetAbove(size_t offset) const;
    virtual size_t offsetBelow(size_t offset) const;
    /// The start and end of the line the offset is on (the whole text for one line).
    virtual std::pair<size_t, size_t> lineRangeAt(size_t offset) const;
    /// Called when the caret moved or the text changed, to keep the caret in view.
    virtual void scrollToCaret() { }

    /// The text as shown and the offsets in it of a text offset.
    std::string displayText() const { return m_edit.displayText(); }
    size_t displayOffset(size_t textOffset) const;
    /// Draws one line of the shown text, [start, end) of displayText(), with its left end at
    /// x and its top at y: the selection behind it, the composition's underline, the caret
    /// (at the line's end only when caretAtEnd: a wrapped line's end is the next one's start).
    void drawLine(gfx::Context& context, const std::string& shown, size_t start, size_t end, float x, float y, bool caretAtEnd = true);
    /// The caret's offset in the shown text (inside the composition while one is made).
    size_t displayCaret() const;
    bool showsCaret() const { return m_editing && m_caretVisible && !m_edit.hasSelection(); }
    void editingDidChange();

    EditableText m_edit;
    gfx::Font m_font { gfx::Font::systemFont(12) };

private:
    void textDidChange();
    void selectionDidChange();
    void offerPrimarySelection();
    float scrollOffset(const gfx::Rect& textRect) const;
    void startCaretBlink();
    void stopCaretBlink();
    void drawBorder(gfx::Context& context, const gfx::Rect& b);

    std::string m_placeholder;
    gfx::Color m_textColor { gfx::Color::black() };
    gfx::TextAlignment m_alignment { gfx::TextAlignment::Left };
    TextBorderStyle m_borderStyle { TextBorderStyle::None };
    TextFieldViewMode m_clearButtonMode { TextFieldViewMode::Never };
    KeyboardType m_keyboardType { KeyboardType::Default };
    ReturnKeyType m_returnKeyType { ReturnKeyType::Default };
    TextFieldDelegate* m_delegate { nullptr };
    bool m_editing { false };
    bool m_caretVisible { true };
    bool m_touchOnClearButton { false };
    /// The selection a press began with (a word after a double press), which a drag extends.
    size_t m_dragStart { 0 };
    size_t m_dragEnd { 0 };
    int m_dragTaps { 0 };
    std::shared_ptr<foundation::Timer> m_blink;
};

} // namespace ui
