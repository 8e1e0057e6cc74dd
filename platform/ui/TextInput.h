#pragma once

#include "graphics/Geometry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace ui {

/// One step of an input method (accented letters from dead keys and compose sequences, CJK
/// text): the composition shown at the caret while it is made (preedit), and the text it
/// commits. Offsets are bytes of UTF-8.
struct InputMethodEvent {
    /// The text being composed, shown at the caret and not yet part of the text; empty when
    /// nothing is being composed (any earlier composition is taken away).
    std::string preedit;
    /// Where the caret stands inside preedit.
    std::size_t preeditCursor { 0 };
    /// Text to insert in place of the selection.
    std::string commit;
    /// The bytes of the text [first, second) that commit replaces instead of the selection
    /// (an input method correcting what it committed before); none: the selection.
    std::optional<std::pair<std::size_t, std::size_t>> replacement;
};

/// What an input method needs to know of the text being edited. Offsets are bytes of UTF-8
/// into text; the composition is not part of text.
struct TextInputState {
    std::string text;
    std::size_t caret { 0 };
    /// The other end of the selection (the caret when nothing is selected).
    std::size_t anchor { 0 };
    /// The caret's rectangle in window coordinates, where the input method puts its list.
    gfx::Rect caretRect;
    /// A field of one line takes no line breaks.
    bool multiline { false };
};

/// A responder that edits text for an input method: the host asks the first responder for
/// this interface (Window::textInput) to answer the input method and hand it its events.
/// Main thread only.
class TextInput {
public:
    virtual ~TextInput() = default;
    virtual TextInputState textInputState() const = 0;
    /// Applies one step: the composition is replaced, then the commit inserted.
    virtual void handleInputMethodEvent(const InputMethodEvent& event) = 0;
    /// The middle button of a mouse (X11): the primary selection is inserted at point
    /// (window coordinates), which becomes the caret; editing begins if it had not.
    virtual void pastePrimarySelectionAtPoint(gfx::Point point) = 0;
};

} // namespace ui
