#include "host/Host.h"

#include "host/BatteryWatcher.h"
#include "host/MotionPreference.h"
#include "host/DesktopIntegration.h"
#include "host/InputDevices.h"
#include "host/InstanceChannel.h"
#include "host/MprisService.h"
#include "host/SystemCamera.h"
#include "host/SleepWatcher.h"
#include "host/HostWindow.h"
#include "host/RunLoopBridge.h"

#include "ui/Application.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/Bundle.h"
#include "foundation/Clock.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QSocketNotifier>

#include <cerrno>
#include <cmath>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace host {

namespace {

// Renders the key window as the screen shows it and writes it as a PNG file.
int writeScreenshot(const HostOptions& options)
{
    ui::Window* window = ui::Window::keyWindow();
    const float scale = options.scale > 0 ? options.scale : 2;
    const gfx::Rect screen = ui::Screen::mainScreen().bounds();
    auto context = gfx::BitmapContext::create(int(std::lround(screen.width() * scale)), int(std::lround(screen.height() * scale)),
        gfx::PixelFormat::NativePremultiplied, gfx::ContextOrigin::TopLeft);
    if (!context) {
        std::fprintf(stderr, "parlivo: no memory for a screenshot at scale %g\n", double(scale));
        return 1;
    }
    context->scaleCTM(scale, scale);
    if (window) {
        window->layoutIfNeeded();
        window->drawScreen(*context);
    } else
        context->fillRect(screen, gfx::Color::black());
    auto image = context->makeImage(scale);
    if (!image || !image->writePNG(options.screenshotPath)) {
        std::fprintf(stderr, "parlivo: could not write the screenshot %s\n", options.screenshotPath.c_str());
        return 1;
    }
    return 0;
}

// Qt wants a private runtime directory and complains on standard error when the session
// gives none (a headless run, a bare console). Make the one it would fall back to, quietly.
void ensureRuntimeDirectory()
{
    if (const char* existing = std::getenv("XDG_RUNTIME_DIR"); existing && existing[0])
        return;
    std::string path = "/tmp/runtime-" + std::to_string(getuid());
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 0077) == 0)
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
}

// The icon of the installed theme, else the copy among the resources (a run from the build).
QIcon applicationIcon()
{
    QIcon icon = QIcon::fromTheme(QStringLiteral(PARLIVO_APP_ID));
    if (icon.isNull()) {
        if (auto path = foundation::Bundle::main().pathForResource("parlivo-icon", "png"))
            icon = QIcon(QString::fromStdString(*path));
    }
    return icon;
}

} // namespace

int runHost(int argc, char** argv, const HostOptions& options, const std::function<void()>& launch)
{
    const bool headless = !options.screenshotPath.empty();
    if (headless)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ensureRuntimeDirectory();
    // The X11 window class and the Wayland application id that the desktop entry names. No
    // display name: Qt would add it to the title, which names the program already.
    QCoreApplication::setApplicationName(QStringLiteral("parlivo"));
    QGuiApplication::setDesktopFileName(QStringLiteral(PARLIVO_APP_ID));
    QGuiApplication application(argc, argv);
    auto& app = ui::Application::sharedApplication();
    // Drawn keys only on a touch screen with no keyboard; PARLIVO_KEYBOARD decides when set.
    app.setKeyboardKind(keyboardKindFor(currentInputDevices(), std::getenv("PARLIVO_KEYBOARD")));

    if (headless) {
        ui::Screen::mainScreen().setScale(options.scale > 0 ? options.scale : 2);
        // A manual clock started at the real date: the picture depends on nothing but the
        // program and the time asked for, and waiting takes no real time.
        foundation::RunLoop::resetMain(std::make_shared<foundation::ManualClock>(foundation::SystemClock().wallTime()));
        launch();
        app.finishLaunching();
        foundation::RunLoop::main().runFor(options.screenshotAfter);
        int status = writeScreenshot(options);
        app.setTerminationHandler([] { });
        app.terminate();
        return status;
    }

    // The window opens on the screen under the pointer, sized for it.
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const float scale = options.scale > 0 ? options.scale : fittingScale({ float(available.width()), float(available.height()) });
    const WindowMode mode = windowModeFor(screen ? gfx::Size { float(screen->size().width()), float(screen->size().height()) } : gfx::Size {}, options.windowMode);
    ui::Screen::mainScreen().setScale(imageScaleFor(scale * float(screen ? screen->devicePixelRatio() : 1)));

    RunLoopBridge bridge;
    DesktopIntegration desktop;
    // After the delegate's last call nothing of the application runs again: Qt's loop ends,
    // whatever ended the application (the window closed or destroyed, Control+Q, the desktop's
    // quit, a signal).
    app.setTerminationHandler([&bridge] {
        bridge.stop();
        QCoreApplication::quit();
    });
    ui::ImagePickerCamera::setShared(std::make_shared<SystemCamera>());
    SleepWatcher sleepWatcher;
    BatteryWatcher batteryWatcher;
    MotionPreference motionPreference;
    ui::Application::installSignalHandlers();
    launch();
    app.finishLaunching();
    ui::Window* window = ui::Window::keyWindow();
    if (!window) {
        std::fprintf(stderr, "parlivo: nothing to show\n");
        return 1;
    }
    HostWindow hostWindow(*window, bridge);
    const gfx::Rect phone = ui::Screen::mainScreen().bounds();
    hostWindow.resize(int(std::lround(phone.width() * scale)), int(std::lround(phone.height() * scale)));
    hostWindow.setIcon(applicationIcon());
    desktop.setWindow(&hostWindow);
    hostWindow.setRepaintHandler([&desktop] { desktop.updateTitle(); });
    if (mode == WindowMode::FullScreen)
        hostWindow.showFullScreen();
    else
        hostWindow.show();
    MprisService mpris(QDBusConnection::sessionBus(), [&hostWindow] { hostWindow.bringToFront(); });
    std::unique_ptr<InstanceChannel> channel;
    std::unique_ptr<QSocketNotifier> channelWatch;
    if (!options.instanceSocketPath.empty()) {
        std::string error;
        channel = InstanceChannel::listen(options.instanceSocketPath, [&hostWindow] { return hostWindow.bringToFront(); }, &error,
            [] { return ui::Application::sharedApplication().showPreferences(); });
        if (channel) {
            channelWatch = std::make_unique<QSocketNotifier>(channel->fileDescriptor(), QSocketNotifier::Read);
            QObject::connect(channelWatch.get(), &QSocketNotifier::activated, [&channel] { channel->handlePendingRequests(); });
        } else
            std::fprintf(stderr, "parlivo: a second start will not find this one at %s: %s\n", options.instanceSocketPath.c_str(), error.c_str());
    }
    window->setNeedsDisplayInWindowRect(ui::Screen::mainScreen().bounds());
    bridge.pump();
    int status = application.exec();
    // The application has ended (its delegate's last call ran), or the loop ended otherwise.
    desktop.setWindow(nullptr);
    ui::ImagePickerCamera::setShared(nullptr);
    app.setTerminationHandler([] { });
    app.terminate();
    return status;
}

} // namespace host
