#pragma once

#include "ui/TextField.h"
#include "ui/View.h"

#include <string>
#include <vector>

namespace foundation {
class Timer;
}

namespace ui {

/// Posted (object: the Keyboard*) when the keyboard starts to slide up, when it is up, when
/// it starts to slide down and when it is gone. The user information holds the keyboard's
/// bounds and its centre before and after the slide, in window coordinates, as texts
/// "{x, y}" and "{{x, y}, {w, h}}", and the slide's duration in seconds. The bounds are the
/// keys' real size: 216 points for the drawn keys, what the system's own keys cover, or 0
/// high where nothing covers the screen (a physical keyboard); screens rise by what is
/// covered. A keyboard of the system that changes its height while up is announced as a
/// new will-show and did-show.
extern const char* const KeyboardWillShowNotification;
extern const char* const KeyboardDidShowNotification;
extern const char* const KeyboardWillHideNotification;
extern const char* const KeyboardDidHideNotification;
extern const char* const KeyboardBoundsUserInfoKey;
extern const char* const KeyboardCenterBeginUserInfoKey;
extern const char* const KeyboardCenterEndUserInfoKey;
extern const char* const KeyboardAnimationDurationUserInfoKey;

/// The keyboard of a window, up while a text field is the first responder and down when it
/// resigns. Who gives the keys is the application's keyboardKind: with OnScreen the window
/// draws them, 320 × 216 points that slide up over the bottom of the window, in the layout of
/// the texts' language (QWERTY, QWERTZ for German, AZERTY for French) with translated
/// captions; they type into the first responder exactly as the physical keyboard does, and
/// the return key (captioned by the field's return-key type) is the field's return key. With
/// System nothing is drawn: the physical keyboard or the desktop's input method types, and
/// the notifications carry the height the system reports.
///
/// The window owns its keyboard (Window::keyboard()); drawn, it lies above the window's
/// content and below alerts and action sheets. Main thread only.
class Keyboard : public View {
public:
    explicit Keyboard(Window& window);

    /// Brings the keyboard up for field (animated), with the field's keys and return key.
    /// Already up: only the keys change and nothing is posted.
    void showForTextField(const TextField& field);
    /// Sends the keyboard down (animated); nothing when it is down or going down, or while a
    /// text field hands over to another.
    void hide();
    /// Whether it is up or on its way up.
    bool isShown() const { return m_shown; }
    /// Whether its keys are drawn in the window (up with KeyboardKind::OnScreen).
    bool isDrawn() const { return m_shown && m_drawn; }
    /// The height it covers at the bottom of the window while up: 216 drawn, else the system's.
    float coveredHeight() const;
    /// The system's keyboard changed its height (Application::setSystemKeyboardHeight): while
    /// up and not drawn, the new height is announced.
    void systemHeightDidChange();
    /// Set while one text field gives the first responder to another.
    void setHandingOver(bool handingOver) { m_handingOver = handingOver; }

    /// The caption of the return key for a return-key type, in the texts' language.
    static std::string returnKeyTitle(ReturnKeyType type);
    /// The letters of the three rows for a language ("en", "de", "fr"; others get English's).
    static std::vector<std::string> letterRows(const std::string& language);
    /// One key: what it shows and does, and where it is in the keyboard's coordinates.
    struct Key {
        enum class Kind { Character, Shift, Backspace, Space, Return, Numbers, Letters };
        Kind kind { Kind::Character };
        std::string text;
        gfx::Rect frame;
    };
    /// The keys shown now.
    std::vector<Key> keys() const;
    /// The key at point (keyboard coordinates), if any.
    const Key* keyAt(gfx::Point point, const std::vector<Key>& keys) const;

    void touchesBegan(const TouchSet& touches, const Event& event) override;
    void touchesMoved(const TouchSet& touches, const Event& event) override;
    void touchesEnded(const TouchSet& touches, const Event& event) override;
    void touchesCancelled(const TouchSet& touches, const Event& event) override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

    static constexpr float kHeight = 216;
    static constexpr double kAnimationDuration = 0.3;

private:
    void press(const Key& key);
    void slide(bool up);
    void post(const char* name, bool up, float height);
    /// Will-show or will-hide now and did-show or did-hide after the slide, with nothing drawn.
    void announce(bool up);
    void drawKey(gfx::Context& context, const Key& key, bool pressed);

    Window& m_window;
    bool m_shown { false };
    bool m_drawn { false };
    bool m_handingOver { false };
    bool m_shift { false };
    bool m_numbers { false };
    ReturnKeyType m_returnKeyType { ReturnKeyType::Default };
    std::optional<gfx::Rect> m_pressedKey;
    unsigned m_generation { 0 };
    std::shared_ptr<foundation::Timer> m_announcement;
};

} // namespace ui
