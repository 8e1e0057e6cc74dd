#pragma once

#include "ui/MediaPlayer.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace host {

/// The application as a media player on the session bus (MPRIS 2), so that media keys and the
/// desktop's media controls work it: "org.mpris.MediaPlayer2.parlivo" (with ".instance" and
/// the process id added when another Parlivo has the name), object /org/mpris/MediaPlayer2.
///
/// Play, Pause, PlayPause, Stop, Next, Previous, Seek and SetPosition go to the application's
/// media player (ui::Application::mediaPlayer), and do nothing when there is none; Metadata,
/// PlaybackStatus and the Can… properties are read from it. CanPlay and CanPause say whether
/// there is a recording that can be played or paused at all (MPRIS's reading: true while it
/// plays, and while paused), so that controls offer Stop and a toggle in every state. The
/// recording's picture is offered as mpris:artUrl, a file in a private directory of the
/// service's own, removed with it. It registers itself as the application's media-player
/// change handler and sends PropertiesChanged for what changed since it last looked, and
/// Seeked after a seek. Raise calls the raise function, Quit ends the application through its
/// orderly termination. Opening addresses is not offered. Main thread, with Qt's event loop
/// running the bus.
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
    QVariantMap playerProperties();
    void callPlayer(const QString& method);
    void seek(const QString& method, const QList<QVariant>& arguments);
    /// A file:// address of the picture's bytes, written once per picture; empty for none.
    QString artworkUrl(const std::shared_ptr<const std::vector<std::uint8_t>>& artwork);

    QDBusConnection m_bus;
    std::function<void()> m_raise;
    QString m_serviceName;
    bool m_registered { false };
    QVariantMap m_lastPlayerProperties;
    std::unique_ptr<QTemporaryDir> m_artworkDirectory;
    std::shared_ptr<const std::vector<std::uint8_t>> m_artwork;
    QString m_artworkUrl;
    int m_artworkCount { 0 };
};

/// The MPRIS metadata of a recording: its track id (an object path made from its identifier),
/// length in microseconds, title, category (as the genre) and the address of its picture when
/// artUrl is not empty. Only the no-track id for none.
QVariantMap mprisMetadata(const ui::MediaMetadata* metadata, const QString& artUrl = {});
/// The track id mprisMetadata gives a recording of this identifier.
QString mprisTrackId(long long identifier);

} // namespace host
