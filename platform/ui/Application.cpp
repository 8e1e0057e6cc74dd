#include "ui/Application.h"

#include "ui/Keyboard.h"
#include "ui/Screen.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace ui {

const char* const ApplicationWillTerminateNotification = "ApplicationWillTerminateNotification";
const char* const ApplicationDidReceiveMemoryWarningNotification = "ApplicationDidReceiveMemoryWarningNotification";

namespace {

std::shared_ptr<Application>& sharedSlot()
{
    static std::shared_ptr<Application> application;
    return application;
}

// The write end of the signal pipe; -1 until the handlers are installed.
std::atomic<int> g_signalPipe { -1 };
volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void onSignal(int signal)
{
    const int saved = errno;
    if (signal == SIGTERM || signal == SIGINT) {
        // A second request while the first is handled ends the process as the default would.
        if (g_stopRequested) {
            std::signal(signal, SIG_DFL);
            raise(signal);
        }
        g_stopRequested = 1;
    }
    const unsigned char byte = static_cast<unsigned char>(signal);
    if (int fd = g_signalPipe.load(); fd >= 0)
        (void)!write(fd, &byte, 1);
    errno = saved;
}

void watchSignals(int readEnd)
{
    for (;;) {
        unsigned char byte = 0;
        ssize_t n = read(readEnd, &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        const int signal = byte;
        foundation::RunLoop::main().post([signal] {
            if (signal == SIGUSR1)
                Application::sharedApplication().raiseMemoryWarning();
            else
                Application::sharedApplication().terminate();
        });
    }
}

} // namespace

Application& Application::sharedApplication()
{
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_shared<Application>();
    return *slot;
}

void Application::resetSharedApplication()
{
    sharedSlot() = std::make_shared<Application>();
}

void Application::finishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;
    if (auto delegate = m_delegate)
        delegate->applicationDidFinishLaunching(*this);
}

void Application::terminate()
{
    if (m_terminating)
        return;
    m_terminating = true;
    if (auto delegate = m_delegate)
        delegate->applicationWillTerminate(*this);
    foundation::NotificationCenter::defaultCenter().postNotificationName(ApplicationWillTerminateNotification, this);
    if (m_terminationHandler) {
        auto handler = m_terminationHandler;
        handler();
    } else
        std::exit(0);
}

void Application::raiseMemoryWarning()
{
    if (auto delegate = m_delegate)
        delegate->applicationDidReceiveMemoryWarning(*this);
    foundation::NotificationCenter::defaultCenter().postNotificationName(ApplicationDidReceiveMemoryWarningNotification, this);
    ViewController::sendMemoryWarningToAll();
}

void Application::setStatusBarStyle(StatusBarStyle style, bool)
{
    if (style == m_statusBarStyle)
        return;
    m_statusBarStyle = style;
    if (Window* window = Window::keyWindow())
        window->setNeedsDisplayInWindowRect(gfx::Rect(0, 0, Screen::mainScreen().bounds().width(), Screen::kStatusBarHeight));
}

bool Application::isStatusBarHidden() const
{
    return Screen::mainScreen().isStatusBarHidden();
}

void Application::setStatusBarHidden(bool hidden, bool)
{
    Screen::mainScreen().setStatusBarHidden(hidden);
    if (Window* window = Window::keyWindow())
        window->setNeedsDisplayInWindowRect(Screen::mainScreen().bounds());
}

void Application::setMediaPlayer(const std::shared_ptr<MediaPlayer>& player)
{
    m_mediaPlayer = player;
    mediaPlayerDidChange();
}

void Application::mediaPlayerDidChange()
{
    if (m_mediaPlayerChangeHandler)
        m_mediaPlayerChangeHandler();
}

void Application::setApplicationIconBadgeNumber(int number)
{
    number = std::max(number, 0);
    if (number == m_badgeNumber)
        return;
    m_badgeNumber = number;
    if (m_badgeHandler)
        m_badgeHandler(number);
}

bool Application::canOpenURL(const std::string& url)
{
    auto colon = url.find(':');
    if (colon == std::string::npos)
        return false;
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (scheme != "http" && scheme != "https" && scheme != "mailto")
        return false;
    // No control characters: the address goes to another program.
    return std::none_of(url.begin(), url.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; });
}

bool Application::openURL(const std::string& url)
{
    if (!canOpenURL(url)) {
        foundation::logf("Refused to open the address %s", url.c_str());
        return false;
    }
    m_openedURLs.push_back(url);
    return m_openURLHandler ? m_openURLHandler(url) : false;
}

Window* Application::keyWindow() const
{
    return Window::keyWindow();
}

void Application::setBatteryStatus(std::optional<BatteryStatus> status)
{
    if (status) {
        status->level = std::clamp(status->level, 0.0f, 1.0f);
        if (!(status->level >= 0))
            status->level = 0;
    }
    if (status == m_batteryStatus)
        return;
    m_batteryStatus = status;
    if (Window* window = Window::keyWindow())
        window->setNeedsDisplayInWindowRect(gfx::Rect(0, 0, Screen::mainScreen().bounds().width(), Screen::kStatusBarHeight));
}

void Application::setSystemKeyboardHeight(float points)
{
    points = points > 0 ? points : 0;
    if (points == m_systemKeyboardHeight)
        return;
    m_systemKeyboardHeight = points;
    if (Window* window = Window::keyWindow(); window && m_keyboardKind == KeyboardKind::System)
        window->keyboard().systemHeightDidChange();
}

void Application::textInputDidChange(TextInputChange change)
{
    if (m_textInputHandler) {
        auto handler = m_textInputHandler;
        handler(change);
    }
}

bool Application::performKeyCommand(const KeyCommand& command)
{
    if (command.is("q", true)) {
        terminate();
        return true;
    }
    if (command.is(",", true))
        return showPreferences();
    return false;
}

bool Application::showPreferences()
{
    // The delegate may be replaced by what it shows.
    auto delegate = m_delegate;
    return delegate && delegate->applicationShowPreferences(*this);
}

bool Application::installSignalHandlers()
{
    static bool installed = false;
    if (installed)
        return true;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        foundation::log("Could not set up the handling of termination signals");
        return false;
    }
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    installed = true;
    // The main run loop exists before the watcher posts to it.
    (void)foundation::RunLoop::main();
    g_signalPipe = fds[1];
    std::thread(watchSignals, fds[0]).detach();
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGTERM, SIGINT, SIGUSR1 })
        sigaction(signal, &action, nullptr);
    return true;
}

} // namespace ui
