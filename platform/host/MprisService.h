#pragma once

#include "ui/MediaPlayer.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace host {

/// The application as a media player on the session bus (MPRIS 2), so that media keys and the
/// desktop's media controls work it: "org.mpris.MediaPlayer2.parlivo" (with ".instance" and
/// the process id added when another Parlivo has the name), object /org/mpris/MediaPlayer2.
///
/// Play, Pause, PlayPause, Stop, Next and Previous go to the application's media player
/// (ui::Application::mediaPlayer), and do nothing when there is none; Metadata, PlaybackStatus
/// and the Can… properties are read from it. It registers itself as the application's
/// media-player change handler and sends PropertiesChanged for what changed since it last
/// looked. Raise calls the raise function, Quit ends the application through its orderly
/// termination. Seeking and opening addresses are not offered. Main thread, with Qt's event
/// loop running the bus.
class MprisService : public QDBusVirtualObject {
public:
    /// Registers on bus (not connected: nothing is registered, isRegistered() is false).
    MprisService(QDBusConnection bus, std::function<void()> raise);
    ~MprisService() override;

    bool isRegistered() const { return m_registered; }
    /// The bus name taken.
    const QString& serviceName() const { return m_serviceName; }

    /// Sends PropertiesChanged for the player's properties that changed since the last look.
    void refresh();

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    QVariantMap rootProperties() const;
    QVariantMap playerProperties() const;
    void callPlayer(const QString& method);

    QDBusConnection m_bus;
    std::function<void()> m_raise;
    QString m_serviceName;
    bool m_registered { false };
    QVariantMap m_lastPlayerProperties;
};

/// The MPRIS metadata of a recording: its track id (an object path made from its identifier),
/// length in microseconds, title and category (as the genre). Empty for none.
QVariantMap mprisMetadata(const ui::MediaMetadata* metadata);

} // namespace host
