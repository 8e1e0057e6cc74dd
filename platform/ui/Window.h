#pragma once

#include "ui/StatusBar.h"
#include "ui/TextInput.h"
#include "ui/View.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ui {

class Keyboard;
class PopupView;

/// The root of a view tree shown on the screen. The key window receives typed text through
/// its first responder and touches through hit-testing. It collects the parts of the screen
/// that need repainting and hands them to its display handler (the host) once per frame.
/// Main thread only.
class Window : public View {
public:
    /// A window covering frame (the whole screen unless told otherwise).
    explicit Window(const gfx::Rect& frame = gfx::Rect(0, 0, 320, 480));
    ~Window() override;

    /// The key window, or null.
    static Window* keyWindow();
    /// Makes this the key window and shows it (the whole screen is painted on the next frame).
    void makeKeyAndVisible();
    bool isKeyWindow() const { return keyWindow() == this; }
    bool isVisible() const { return m_visible; }

    /// The responder that receives typed text, or null.
    Responder* firstResponder() const;

    // Drawing
    /// Adds rect (window coordinates) to the area to repaint and makes sure a frame comes;
    /// an empty rect only asks for a frame (layout). Nothing happens before the window is shown.
    void setNeedsDisplayInWindowRect(const gfx::Rect& rect);
    /// The area waiting to be repainted.
    std::optional<gfx::Rect> dirtyRect() const { return m_dirty; }
    bool needsDisplay() const { return m_dirty.has_value() || m_needsFrame; }
    /// Called with the area to repaint when a frame needs it; the handler draws with drawScreen.
    void setDisplayHandler(std::function<void(const gfx::Rect& dirty)> handler) { m_displayHandler = std::move(handler); }
    /// Lays out and hands the dirty area to the display handler, then forgets it.
    void displayIfNeeded();
    static void displayAllIfNeeded();
    static bool anyNeedsDisplay();
    /// Paints the screen as shown now into context, whose user space must be the window's
    /// coordinates (top-down): the views with presented values, then the status bar. With a
    /// dirty rect only that part is painted (and the context is clipped to it).
    void drawScreen(gfx::Context& context, const std::optional<gfx::Rect>& dirty = std::nullopt);
    /// How many times the display handler was called.
    long displayCount() const { return m_displayCount; }
    StatusBar& statusBar() { return m_statusBar; }

    // Events from the host
    /// A touch (finger or mouse) identified by id, at a point in window coordinates. A touch
    /// that begins goes to the view hit there (nothing when none is hit); later phases go to
    /// the same view, unless an ancestor watching touches takes it over (View::watchesTouches).
    /// Phases for an unknown id are ignored.
    void sendTouch(int id, TouchPhase phase, gfx::Point location);
    /// Text typed on the keyboard, for the first responder (dropped when there is none).
    void sendText(const std::string& text);
    /// A key for the first responder; without one, for the view the last touch began in (the
    /// focused view), or else the view of the innermost screen shown. Each passes what it
    /// cannot use up the responder chain. While the shortcut list shows, Escape takes it away
    /// and other keys do nothing.
    void sendKey(Key key);
    /// A key pressed as a command: the one place keys with modifiers are routed. While a
    /// responder takes typed text (a text field being edited), a character is typed text, and
    /// anything else goes to its performKeyCommand (editing: selection, clipboard, undo), else
    /// as a plain key; no screen's shortcut acts. Otherwise the command goes up the responder
    /// chain from where sendKey would send a key (performKeyCommand); F1 and "?" that nothing
    /// takes show or hide the list of shortcuts. In both cases what nothing took reaches the
    /// application's own commands (Application::performKeyCommand: Control+Q). True when
    /// something acted on it.
    bool sendKeyCommand(const KeyCommand& command);
    /// The first responder when it edits text for an input method, else null.
    TextInput* textInput() const;
    /// A step of the desktop's input method, for the text being edited (dropped when none is).
    void sendInputMethodEvent(const InputMethodEvent& event);
    /// The middle mouse button at location (window coordinates): a text field there inserts
    /// the primary selection; elsewhere nothing happens.
    void sendMiddleClick(gfx::Point location);
    /// The list of shortcuts shown now, or null.
    View* keyboardHelp() const { return m_keyboardHelp.lock().get(); }
    /// A wheel or touchpad scroll at location (window coordinates), for the view hit there,
    /// which passes it up the responder chain until a view can use it; dropped over nothing.
    void sendWheel(gfx::Point location, gfx::Point delta, WheelPhase phase = WheelPhase::None);

    /// The screen changed its size from old: every window that covered the old screen covers
    /// the new one, and its views autoresize.
    static void screenDidChangeSize(const gfx::Rect& old);
    // Keyboard focus: where Tab has gone. Space and Return press it, arrows move it.
    /// The view with the keyboard focus while it can take keys: in this window, shown, enabled
    /// and not covered (an alert, a sheet or a screen over it); null otherwise. A view that is
    /// covered for a while has the focus again when it comes back into view.
    View* keyboardFocus();
    /// Puts the keyboard focus on view (null: nowhere). A view that takes typed text becomes
    /// the first responder; a first responder left behind resigns. False, with nothing
    /// changed, when view cannot have the focus or the first responder refuses to resign.
    bool setKeyboardFocus(View* view);
    /// The stops of Tab now, in reading order (top to bottom, left to right): every view that
    /// can become the focus and that a tap at it would reach, so hidden, disabled and covered
    /// views are left out and an alert or a sheet in front has the only stops.
    std::vector<View*> keyboardFocusOrder();
    /// Moves the focus to the next stop (the previous one backward), round at the ends; with
    /// no focus to the first (last). False when there is no stop.
    bool moveKeyboardFocus(bool backward);
    /// Where the focus ring is drawn (window coordinates), when one is.
    std::optional<gfx::Rect> focusRingRect();
    /// The alert or action sheet in front, while one is shown.
    PopupView* frontPopup() const;
    /// How far the ring stands out of a focused view's focus rectangle, and its width.
    static constexpr float kFocusRingOutset = 3;
    static constexpr float kFocusRingWidth = 3;

    /// Forgets the key window (tests start afresh).
    static void resetKeyWindow();

    // Layers: content (the controllers' views), then the keyboard, then alerts and sheets.
    /// The window's on-screen keyboard, made on first use.
    Keyboard& keyboard();
    /// Adds view on top of the content but below the keyboard, alerts and sheets.
    void addContentView(const std::shared_ptr<View>& view);
    /// Adds view above the content and above overlays of a lower or equal level.
    void addOverlayView(const std::shared_ptr<View>& view, int level);
    static constexpr int kKeyboardLevel = 1;
    static constexpr int kAlertLevel = 2;

    /// The end of every chain: a key the focus on a bar passed up goes to the shown screen
    /// (its R, Space and seeking), once.
    void keyPressed(Key key) override;
    bool performKeyCommand(const KeyCommand& command) override;

    void didAddSubview(View* subview) override;
    void willRemoveSubview(View* subview) override;

private:
    friend class Responder;
    void setFirstResponder(Responder* responder);
    /// Where keys go when no responder is first: the focused view, else the shown screen's view.
    std::shared_ptr<View> keyTarget();
    /// The shown screen's view when the focus lies outside it (on a bar), for what the focus
    /// does not take; null otherwise.
    std::shared_ptr<View> screenBehindFocus();
    void toggleKeyboardHelp();
    /// Whether a tap at view would reach it (or a view inside it).
    bool isReachable(View& view);
    void drawFocusRing(gfx::Context& context);
    /// Hands one phase of touch to its view, after offering it to the watching ancestors.
    void dispatchTouch(const std::shared_ptr<Touch>& touch, TouchPhase phase, const Event& event);

    bool m_visible { false };
    bool m_needsFrame { false };
    std::optional<gfx::Rect> m_dirty;
    std::function<void(const gfx::Rect&)> m_displayHandler;
    long m_displayCount { 0 };
    std::weak_ptr<Responder> m_firstResponder;
    std::map<int, std::shared_ptr<Touch>> m_touches;
    /// Where the last touch began: the target of keys when no responder is first.
    std::weak_ptr<View> m_focusedView;
    std::weak_ptr<View> m_keyboardHelp;
    /// Where Tab went last (kept while covered).
    std::weak_ptr<View> m_keyboardFocus;
    /// The ring as last painted, so that a ring that moves is painted away.
    std::optional<gfx::Rect> m_paintedRing;
    /// Set while a key goes up from a focus outside the shown screen.
    std::shared_ptr<View> m_passKeysToScreen;
    double m_lastTapTime { -1 };
    gfx::Point m_lastTapLocation;
    int m_tapCount { 0 };
    StatusBar m_statusBar;
    std::shared_ptr<Keyboard> m_keyboard;
    std::vector<std::pair<const View*, int>> m_overlayLevels;
};

} // namespace ui
