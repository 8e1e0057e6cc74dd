#include "host/DesktopIntegration.h"

#include "ui/Application.h"
#include "ui/Pasteboard.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>
#include <QVariantMap>
#include <QWindow>

#include <string>

namespace host {

namespace {

void sendLauncherBadge(int count)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage message = QDBusMessage::createSignal(QStringLiteral("/com/canonical/unity/launcherentry/parlivo"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), qint64(count));
    properties.insert(QStringLiteral("count-visible"), count > 0);
    message << QString::fromStdString(launcherEntryURI()) << properties;
    bus.send(message);
}

} // namespace

std::string windowTitle(const std::string& shownTitle, int badgeCount)
{
    std::string title = shownTitle.empty() ? "Parlivo" : shownTitle + " \u2014 Parlivo";
    return badgeCount > 0 ? title + " (" + std::to_string(badgeCount) + ")" : title;
}

std::string launcherEntryURI()
{
    return std::string("application://") + PARLIVO_APP_ID + ".desktop";
}

DesktopIntegration::DesktopIntegration()
{
    auto& application = ui::Application::sharedApplication();
    application.setIconBadgeHandler([this](int count) { showBadge(count); });
    application.setOpenURLHandler([](const std::string& url) {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
    });
    application.setTerminationHandler([] { QCoreApplication::quit(); });
    // Cut, copy and paste go through the system's clipboard, and what is selected becomes the
    // primary selection where the system has one (X11).
    QClipboard* clipboard = QGuiApplication::clipboard();
    ui::Pasteboard::generalPasteboard().setHandlers([clipboard] { return clipboard->text(QClipboard::Clipboard).toStdString(); },
        [clipboard](const std::string& text) { clipboard->setText(QString::fromStdString(text), QClipboard::Clipboard); });
    if (clipboard->supportsSelection())
        ui::Pasteboard::selectionPasteboard().setHandlers([clipboard] { return clipboard->text(QClipboard::Selection).toStdString(); },
            [clipboard](const std::string& text) { clipboard->setText(QString::fromStdString(text), QClipboard::Selection); });
}

DesktopIntegration::~DesktopIntegration()
{
    auto& application = ui::Application::sharedApplication();
    application.setIconBadgeHandler(nullptr);
    application.setOpenURLHandler(nullptr);
    ui::Pasteboard::generalPasteboard().setHandlers(nullptr, nullptr);
    ui::Pasteboard::selectionPasteboard().setHandlers(nullptr, nullptr);
    // Whatever ends the program from now on, nothing of Qt's is left to quit.
    application.setTerminationHandler([] { });
}

void DesktopIntegration::setWindow(QWindow* window)
{
    m_window = window;
    m_title.clear();
    updateTitle();
}

void DesktopIntegration::updateTitle()
{
    ui::Window* shown = ui::Window::keyWindow();
    if (!m_window || !shown)
        return;
    std::string title = windowTitle(ui::ViewController::shownTitle(*shown), ui::Application::sharedApplication().applicationIconBadgeNumber());
    if (title == m_title)
        return;
    m_title = title;
    m_window->setTitle(QString::fromStdString(title));
}

void DesktopIntegration::showBadge(int count)
{
    updateTitle();
    sendLauncherBadge(count);
}

} // namespace host
