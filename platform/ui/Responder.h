#pragma once

#include "ui/Touch.h"
#include "ui/WheelEvent.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {

class Window;

/// Keys that are not text.
enum class Key { Return, Backspace, Delete, Tab, Escape, Left, Right, Up, Down, Home, End, PageUp, PageDown, Help };

/// A key pressed as a command rather than typed: a character key while nothing takes typed
/// text ("r", " ", "?"), any key with Control or Alt held, a key that is not a character with
/// Shift held (Shift+Left extends a selection), or the help key.
struct KeyCommand {
    /// The character, lower case; empty for a key that is not a character.
    std::string character;
    /// The key that is not a character, when it is one.
    std::optional<Key> key;
    bool control { false };
    bool alt { false };
    /// Shift held; is() ignores it, as shortcuts are the same with Shift or Caps Lock.
    bool shift { false };

    bool is(const std::string& c, bool withControl = false, bool withAlt = false) const
    {
        return character == c && control == withControl && alt == withAlt;
    }
    bool is(Key k, bool withControl = false, bool withAlt = false) const
    {
        return key == k && control == withControl && alt == withAlt;
    }
};

/// Something that takes part in event handling: views, and later view controllers and the
/// application. Events nobody handles travel up nextResponder(): a view's next responder is
/// the controller that set itself there, else its superview. Main thread only.
class Responder : public std::enable_shared_from_this<Responder> {
public:
    virtual ~Responder() = default;

    /// Where unhandled events go next; null at the end of the chain.
    virtual Responder* nextResponder() const { return nullptr; }

    /// Touch handling. The defaults pass the touches to the next responder.
    virtual void touchesBegan(const TouchSet& touches, const Event& event);
    virtual void touchesMoved(const TouchSet& touches, const Event& event);
    virtual void touchesEnded(const TouchSet& touches, const Event& event);
    virtual void touchesCancelled(const TouchSet& touches, const Event& event);

    /// Typed text and keys reach the first responder; the defaults pass them on.
    virtual void insertText(const std::string& text);
    virtual void keyPressed(Key key);
    /// A shortcut (see Window::sendKeyCommand). True when this responder or one after it
    /// acted on it; the default passes it on.
    virtual bool performKeyCommand(const KeyCommand& command);
    /// A turn of the mouse wheel or a touchpad scroll over this responder; a responder that
    /// cannot use it (nothing to scroll that way) passes it on, as the default does.
    virtual void scrollWheel(const WheelEvent& event);
    /// For a view controller: its view has just laid out its subviews (after a change of size),
    /// so that what autoresizing cannot say (centring in both directions) is placed here.
    virtual void viewDidLayoutSubviews() { }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    /// Makes this the first responder of its window (the one that receives typed text).
    /// False, with nothing changed, when it cannot become one, when it has no window, or
    /// when the current first responder refuses to resign.
    virtual bool becomeFirstResponder();
    /// Gives up being first responder; false when it refuses. True when it was not one.
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;

protected:
    /// The window whose first responder this would be: the key window unless overridden.
    virtual Window* responderWindow() const;
};

} // namespace ui
