#include "host/Host.h"

#include "host/BatteryWatcher.h"
#include "host/MotionPreference.h"
#include "host/DesktopIntegration.h"
#include "host/InputDevices.h"
#include "host/InstanceChannel.h"
#include "host/MprisService.h"
#include "host/SystemCamera.h"
#include "host/SleepWatcher.h"
#include "host/HostAccessibility.h"
#include "host/HostWindow.h"
#include "host/WindowGeometry.h"
#include "host/RunLoopBridge.h"

#include "ui/Application.h"
#include "ui/Screen.h"
#include "ui/Window.h"

#include "foundation/Bundle.h"
#include "foundation/Clock.h"
#include "foundation/FileManager.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <cerrno>
#include <cmath>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

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

// Millimetres per pixel of the X screen, as the X server gives them (from the monitor or its
// -dpi); none off X11.
std::optional<gfx::Size> x11MillimetresPerPixel()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return std::nullopt;
    const xcb_setup_t* setup = xcb_get_setup(x11->connection());
    const xcb_screen_t* root = setup ? xcb_setup_roots_iterator(setup).data : nullptr;
    if (!root || !root->width_in_pixels || !root->height_in_pixels || !root->width_in_millimeters || !root->height_in_millimeters)
        return std::nullopt;
    return gfx::Size { float(root->width_in_millimeters) / float(root->width_in_pixels), float(root->height_in_millimeters) / float(root->height_in_pixels) };
}

DisplayFacts displayFacts(QScreen* screen)
{
    DisplayFacts facts;
    if (screen) {
        facts.size = { float(screen->size().width()), float(screen->size().height()) };
        facts.millimetres = { float(screen->physicalSize().width()), float(screen->physicalSize().height()) };
        // Where the RandR output gives no size, Qt makes one up at 96 dpi: the X screen's own
        // size is the better word then.
        const QSize pixels = screen->geometry().size() * screen->devicePixelRatio();
        const double guessed = pixels.width() * 25.4 / 96;
        if (std::abs(screen->physicalSize().width() - guessed) < 1)
            if (auto perPixel = x11MillimetresPerPixel())
                facts.millimetres = { float(pixels.width()) * perPixel->width, float(pixels.height()) * perPixel->height };
    }
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const char* platform = std::getenv("PLASMA_PLATFORM");
    facts.currentDesktop = desktop ? desktop : "";
    facts.plasmaPlatform = platform ? platform : "";
    return facts;
}

std::optional<SavedWindowGeometry> readSavedWindowGeometry()
{
    const std::string path = savedWindowGeometryPath();
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return std::nullopt;
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    auto geometry = read ? parseWindowGeometry(line) : std::nullopt;
    if (!geometry)
        std::fprintf(stderr, "parlivo: the saved window place in %s is not readable; the window opens at its usual size\n", path.c_str());
    return geometry;
}

// The frame the window has when it is neither maximised nor full screen, so that a maximised
// window comes back maximised over the frame it had before.
void saveWindowGeometry(const HostWindow& window)
{
    const bool maximised = window.windowStates() & Qt::WindowMaximized;
    const QRect frame = window.normalGeometry();
    const std::string path = savedWindowGeometryPath();
    const std::string directory = path.substr(0, path.rfind('/'));
    foundation::createDirectory(directory.substr(0, directory.rfind('/')));
    foundation::createDirectory(directory);
    std::string error;
    const SavedWindowGeometry geometry { { float(frame.x()), float(frame.y()), float(frame.width()), float(frame.height()) }, maximised };
    if (!foundation::writeFileAtomically(path, windowGeometryText(geometry), &error))
        std::fprintf(stderr, "parlivo: could not keep the window's place in %s: %s\n", path.c_str(), error.c_str());
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
        if (options.screenSize)
            ui::Screen::mainScreen().setSize(*options.screenSize);
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

    // The window opens where it was last (on a screen that still holds it), else on the screen
    // under the pointer, sized for it.
    const std::optional<SavedWindowGeometry> saved = readSavedWindowGeometry();
    QScreen* screen = saved ? QGuiApplication::screenAt(QPoint(int(saved->frame.midX()), int(saved->frame.midY()))) : nullptr;
    if (!screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const float scale = options.scale > 0 ? options.scale : fittingScale({ float(available.width()), float(available.height()) });
    const WindowMode mode = windowModeFor(displayFacts(screen), options.windowMode);
    ui::Screen::mainScreen().setScale(imageScaleFor(scale * float(screen ? screen->devicePixelRatio() : 1)));

    RunLoopBridge bridge;
    DesktopIntegration desktop;
    // After the delegate's last call nothing of the application runs again: Qt's loop ends,
    // whatever ended the application (the window closed or destroyed, Control+Q, the desktop's
    // quit, a signal).
    app.setTerminationHandler([&bridge] {
        bridge.stop();
        // Queued: an end asked for before Qt's loop runs (a signal just after the window
        // shows) would otherwise be dropped, and the loop would then run with nothing to end it.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
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
    HostWindow hostWindow(*window, bridge, scale);
    // Screen readers see the screens through Qt's bridge to the accessibility bus.
    HostAccessibility accessibility(hostWindow);
    const gfx::Size design = ui::Screen::kDesignSize;
    hostWindow.resize(int(std::lround(design.width * scale)), int(std::lround(design.height * scale)));
    bool maximised = false;
    if (saved && mode == WindowMode::Windowed) {
        std::vector<gfx::Rect> areas;
        for (QScreen* each : QGuiApplication::screens()) {
            const QRect area = each->availableGeometry();
            areas.push_back({ float(area.x()), float(area.y()), float(area.width()), float(area.height()) });
        }
        const QSize minimum = hostWindow.minimumSize();
        if (auto placed = placeSavedWindow(saved->frame, areas, { float(minimum.width()), float(minimum.height()) })) {
            const gfx::Rect& f = placed->frame;
            if (placed->keepsPosition)
                hostWindow.setGeometry(int(f.x()), int(f.y()), int(f.width()), int(f.height()));
            else
                hostWindow.resize(int(f.width()), int(f.height()));
            maximised = saved->maximised;
        }
    }
    hostWindow.setIcon(applicationIcon());
    desktop.setWindow(&hostWindow);
    hostWindow.setRepaintHandler([&desktop] { desktop.updateTitle(); });
    if (mode == WindowMode::FullScreen) {
        // The whole display, also where no window manager acts on the request (a bare X
        // server), and again when the display turns or changes its size.
        if (screen) {
            hostWindow.setGeometry(screen->geometry());
            QObject::connect(screen, &QScreen::geometryChanged, &hostWindow, [&hostWindow](const QRect& area) {
                if (hostWindow.windowStates() & Qt::WindowFullScreen)
                    hostWindow.setGeometry(area);
            });
        }
        hostWindow.showFullScreen();
    }
    else if (maximised)
        hostWindow.showMaximized();
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
            channel->setImportHandler(options.importFile);
            channelWatch = std::make_unique<QSocketNotifier>(channel->fileDescriptor(), QSocketNotifier::Read);
            QObject::connect(channelWatch.get(), &QSocketNotifier::activated, [&channel] { channel->handlePendingRequests(); });
        } else
            std::fprintf(stderr, "parlivo: a second start will not find this one at %s: %s\n", options.instanceSocketPath.c_str(), error.c_str());
    }
    if (options.filesDropped)
        hostWindow.setFileDropHandler([filesDropped = options.filesDropped](const std::vector<std::string>& files) {
            // After the drop's own event: an import may take a moment and may show an alert.
            foundation::RunLoop::main().post([files, filesDropped] { filesDropped(files); });
        });
    window->setNeedsDisplayInWindowRect(ui::Screen::mainScreen().bounds());
    bridge.pump();
    int status = application.exec();
    if (mode == WindowMode::Windowed && !hostWindow.wasDestroyedOutside())
        saveWindowGeometry(hostWindow);
    // The application has ended (its delegate's last call ran), or the loop ended otherwise.
    desktop.setWindow(nullptr);
    ui::ImagePickerCamera::setShared(nullptr);
    app.setTerminationHandler([] { });
    app.terminate();
    return status;
}

} // namespace host
