#pragma once

#include "ui/Control.h"

#include "graphics/Font.h"

#include <memory>
#include <string>

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

/// A one-line editable text with a placeholder, a border and a clear button.
///
/// A tap makes it the first responder, which begins editing and brings up the window's
/// on-screen keyboard; resigning ends editing and sends the keyboard down (unless another
/// text field takes over at once, when the keyboard stays). While editing, typed text is
/// inserted at the caret, which the arrow, Home and End keys move and a tap places; Backspace
/// and Delete remove one character. Return asks the delegate (textFieldShouldReturn) and sends
/// editing did end on exit. Text is UTF-8; the caret moves by whole characters. Main thread.
class TextField : public Control {
public:
    explicit TextField(const gfx::Rect& frame = {});
    ~TextField() override;

    const std::string& text() const { return m_text; }
    /// Replaces the text and puts the caret at its end; sends no events.
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
    size_t caretPosition() const { return m_caret; }
    /// Whether the clear button shows now.
    bool isClearButtonShown() const;
    gfx::Rect clearButtonRectForBounds(const gfx::Rect& bounds) const;
    gfx::Rect textRectForBounds(const gfx::Rect& bounds) const;

    bool canBecomeFirstResponder() const override;
    bool becomeFirstResponder() override;
    bool canResignFirstResponder() const override;
    bool resignFirstResponder() override;
    void insertText(const std::string& text) override;
    void keyPressed(Key key) override;

    bool beginTrackingWithTouch(const Touch& touch) override;
    void endTrackingWithTouch(const Touch& touch) override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    void textDidChange();
    void setCaret(size_t caret);
    size_t caretForPoint(gfx::Point point) const;
    float scrollOffset(const gfx::Rect& textRect) const;
    void startCaretBlink();
    void stopCaretBlink();
    void drawBorder(gfx::Context& context, const gfx::Rect& b);

    std::string m_text;
    std::string m_placeholder;
    gfx::Font m_font { gfx::Font::systemFont(12) };
    gfx::Color m_textColor { gfx::Color::black() };
    gfx::TextAlignment m_alignment { gfx::TextAlignment::Left };
    TextBorderStyle m_borderStyle { TextBorderStyle::None };
    TextFieldViewMode m_clearButtonMode { TextFieldViewMode::Never };
    KeyboardType m_keyboardType { KeyboardType::Default };
    ReturnKeyType m_returnKeyType { ReturnKeyType::Default };
    TextFieldDelegate* m_delegate { nullptr };
    size_t m_caret { 0 };
    bool m_editing { false };
    bool m_caretVisible { true };
    bool m_touchOnClearButton { false };
    std::shared_ptr<foundation::Timer> m_blink;
};

} // namespace ui
