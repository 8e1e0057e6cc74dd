#pragma once

#include "ui/Application.h"

#include <optional>
#include <string>

namespace host {

/// What the machine types and points with, as far as the toolkit can tell.
struct InputDevices {
    /// A keyboard among the toolkit's input devices.
    bool keyboard { false };
    /// A touch screen among them.
    bool touchScreen { false };
    /// The desktop's input method shows keys of its own on the screen (an on-screen keyboard
    /// module is the toolkit's input method).
    bool inputMethodShowsKeys { false };
};

/// The input devices Qt knows now (QInputDevice), and its input method module (QT_IM_MODULE).
/// Needs the QGuiApplication.
InputDevices currentInputDevices();

/// Who gives text fields their keys: the system (a physical keyboard, an input method with
/// keys of its own) wherever there is a keyboard or no touch screen, the window's own drawn
/// keys only on a touch screen with neither. choice ("on-screen" or "system", from
/// PARLIVO_KEYBOARD) decides when it is given; any other value is refused with a log line.
ui::KeyboardKind keyboardKindFor(const InputDevices& devices, const char* choice);

} // namespace host
