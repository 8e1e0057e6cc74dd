#pragma once

#include "ui/Responder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Application;
class MediaPlayer;
class Window;

/// The look of the status bar (the platform's values).
enum class StatusBarStyle {
    Default = 0,
    BlackTranslucent = 1,
    BlackOpaque = 2,
};

/// The machine's battery as the system reports it (see Application::batteryStatus).
struct BatteryStatus {
    enum class State { Discharging, Charging, Full };
    /// From 0 (empty) to 1 (full).
    float level { 1 };
    State state { State::Discharging };
    bool operator==(const BatteryStatus&) const = default;
};

/// Who gives text fields their keys.
enum class KeyboardKind {
    /// The window draws its own keys over the bottom of the screen (a touch screen without a
    /// keyboard): the phone's keyboard, 216 points tall.
    OnScreen,
    /// The system does: a physical keyboard, or the desktop's input method with keys of its
    /// own. Nothing is drawn; the keyboard is as tall as the system says (0 for none).
    System,
};

/// What a text field tells the host's input method (Application::textInputDidChange).
enum class TextInputChange { Began, Changed, Ended };

/// What the application tells its delegate (optional operations), on the main thread.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching(Application&) { }
    /// The last call before the program ends: the window was closed or the process was asked
    /// to stop (SIGTERM, SIGINT). Runs once.
    virtual void applicationWillTerminate(Application&) { }
    virtual void applicationDidReceiveMemoryWarning(Application&) { }
    /// Shows the application's preferences; false when it has none to show.
    virtual bool applicationShowPreferences(Application&) { return false; }
};

/// Posted (object: the Application*) after the delegate's will-terminate call.
extern const char* const ApplicationWillTerminateNotification;
/// Posted (object: the Application*) after the delegate heard of a memory warning.
extern const char* const ApplicationDidReceiveMemoryWarningNotification;

/// The running application: its delegate, its launch and termination, the status bar and the
/// battery it shows, the icon's badge, opening web addresses, and who types text.
///
/// What reaches outside the program goes through hooks the host fills in: the badge is shown
/// by the icon-badge handler (the desktop's launcher and the window title), addresses are
/// opened by the open-URL handler, text fields being edited are told to the text-input handler
/// (the desktop's input method), and the termination handler ends the program after the
/// delegate's last call (the default exits the process). What comes in from the system (the
/// battery, the kind of keyboard) the host sets. Without hooks, requests are only
/// recorded, which is what tests look at. Main thread only, except where said.
class Application : public Responder {
public:
    static Application& sharedApplication();
    /// Replaces the shared application with a fresh one (tests start afresh).
    static void resetSharedApplication();

    /// The application owns its delegate for the whole run.
    std::shared_ptr<ApplicationDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { m_delegate = std::move(delegate); }
    /// Tells the delegate that launching has finished; only the first call does anything.
    void finishLaunching();
    bool hasFinishedLaunching() const { return m_launched; }
    /// Ends the application: the delegate's will-terminate call, the notification, then the
    /// termination handler. Only the first call does anything.
    void terminate();
    bool isTerminating() const { return m_terminating; }
    /// Raises a memory warning: the delegate, the notification, then every view controller.
    void raiseMemoryWarning();

    StatusBarStyle statusBarStyle() const { return m_statusBarStyle; }
    void setStatusBarStyle(StatusBarStyle style, bool animated = false);
    bool isStatusBarHidden() const;
    void setStatusBarHidden(bool hidden, bool animated = false);

    int applicationIconBadgeNumber() const { return m_badgeNumber; }
    /// 0 removes the badge; negative numbers are read as 0.
    void setApplicationIconBadgeNumber(int number);

    /// Asks the desktop to open url with its handler. Only web and mail addresses (http, https,
    /// mailto) are passed on; others are refused with a log line. Every request that is passed
    /// on is recorded. Answers the handler's result (false without a handler).
    bool openURL(const std::string& url);
    /// Whether openURL would pass url on.
    static bool canOpenURL(const std::string& url);
    const std::vector<std::string>& openedURLs() const { return m_openedURLs; }

    /// The window receiving keys, or null.
    Window* keyWindow() const;

    /// The battery, or none where the machine has none (or nothing reports one). The status
    /// bar shows it; the host keeps it up to date.
    const std::optional<BatteryStatus>& batteryStatus() const { return m_batteryStatus; }
    void setBatteryStatus(std::optional<BatteryStatus> status);

    /// Who gives text fields their keys; OnScreen unless the host says otherwise. Takes effect
    /// the next time a keyboard comes up.
    KeyboardKind keyboardKind() const { return m_keyboardKind; }
    void setKeyboardKind(KeyboardKind kind) { m_keyboardKind = kind; }
    /// With KeyboardKind::System, the height in points that the system's keys cover at the
    /// bottom of the screen (0 with a physical keyboard). A change while a keyboard is up is
    /// announced by its keyboard as a new show.
    float systemKeyboardHeight() const { return m_systemKeyboardHeight; }
    void setSystemKeyboardHeight(float points);
    /// Called by a text field when its editing begins, when its text, selection or caret
    /// changes, and when editing ends; the host tells its input method.
    void textInputDidChange(TextInputChange change);

    /// Asks the delegate to show its preferences (Control+, the shortcut list, a second start);
    /// false without a delegate or when it has none.
    bool showPreferences();

    /// The application's own commands, reached when nothing on the screen took a key: Control+Q
    /// ends the application (terminate) wherever the keys are, Control+, shows the preferences.
    bool performKeyCommand(const KeyCommand& command) override;

    /// The screen the desktop's media controls act on (held weakly: a screen that goes takes
    /// its place with it), or null. Setting it counts as a change.
    std::shared_ptr<MediaPlayer> mediaPlayer() const { return m_mediaPlayer.lock(); }
    void setMediaPlayer(const std::shared_ptr<MediaPlayer>& player);
    /// Tells the host that the media player's answers may have changed.
    void mediaPlayerDidChange();

    // Hooks for the host.
    void setIconBadgeHandler(std::function<void(int)> handler) { m_badgeHandler = std::move(handler); }
    void setOpenURLHandler(std::function<bool(const std::string&)> handler) { m_openURLHandler = std::move(handler); }
    void setTerminationHandler(std::function<void()> handler) { m_terminationHandler = std::move(handler); }
    void setMediaPlayerChangeHandler(std::function<void()> handler) { m_mediaPlayerChangeHandler = std::move(handler); }
    void setTextInputHandler(std::function<void(TextInputChange)> handler) { m_textInputHandler = std::move(handler); }

    /// Makes SIGTERM and SIGINT end the application and SIGUSR1 raise a memory warning. The
    /// signal handler only writes a byte to a pipe; a watcher thread posts the work to the
    /// main run loop, so the delegate runs on the main thread. A second SIGTERM or SIGINT
    /// while the first is handled ends the process at once. Call once, from the main thread;
    /// later calls do nothing. False (with a log line) when the pipe cannot be had.
    static bool installSignalHandlers();

private:
    std::shared_ptr<ApplicationDelegate> m_delegate;
    StatusBarStyle m_statusBarStyle { StatusBarStyle::Default };
    int m_badgeNumber { 0 };
    bool m_launched { false };
    bool m_terminating { false };
    std::vector<std::string> m_openedURLs;
    std::function<void(int)> m_badgeHandler;
    std::function<bool(const std::string&)> m_openURLHandler;
    std::function<void()> m_terminationHandler;
    std::weak_ptr<MediaPlayer> m_mediaPlayer;
    std::function<void()> m_mediaPlayerChangeHandler;
    std::function<void(TextInputChange)> m_textInputHandler;
    std::optional<BatteryStatus> m_batteryStatus;
    KeyboardKind m_keyboardKind { KeyboardKind::OnScreen };
    float m_systemKeyboardHeight { 0 };
};

} // namespace ui
