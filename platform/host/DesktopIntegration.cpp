#include "host/DesktopIntegration.h"

#include "ui/Application.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>
#include <QVariantMap>
#include <QWindow>

#include <string>

namespace host {

namespace {

// The desktop file the launcher knows the program by.
const char* const kApplicationURI = "application://parlivo.desktop";

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
    message << QString::fromLatin1(kApplicationURI) << properties;
    bus.send(message);
}

} // namespace

std::string windowTitleForBadge(int count)
{
    return count > 0 ? "Parlivo (" + std::to_string(count) + ")" : "Parlivo";
}

DesktopIntegration::DesktopIntegration()
{
    auto& application = ui::Application::sharedApplication();
    application.setIconBadgeHandler([this](int count) { showBadge(count); });
    application.setOpenURLHandler([](const std::string& url) {
        return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
    });
    application.setTerminationHandler([] { QCoreApplication::quit(); });
}

DesktopIntegration::~DesktopIntegration()
{
    auto& application = ui::Application::sharedApplication();
    application.setIconBadgeHandler(nullptr);
    application.setOpenURLHandler(nullptr);
    // Whatever ends the program from now on, nothing of Qt's is left to quit.
    application.setTerminationHandler([] { });
}

void DesktopIntegration::setWindow(QWindow* window)
{
    m_window = window;
    if (m_window)
        m_window->setTitle(QString::fromStdString(windowTitleForBadge(ui::Application::sharedApplication().applicationIconBadgeNumber())));
}

void DesktopIntegration::showBadge(int count)
{
    if (m_window)
        m_window->setTitle(QString::fromStdString(windowTitleForBadge(count)));
    sendLauncherBadge(count);
}

} // namespace host
