#include "host/MprisService.h"

#include "ui/Application.h"

#include <QBuffer>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QUrl>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>

#include <algorithm>
#include <unistd.h>

namespace host {

namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRootInterface = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kIntrospectableInterface = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString kServicePrefix = QStringLiteral("org.mpris.MediaPlayer2.parlivo");

// No track: the path MPRIS reserves for it.
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

const char* const kIntrospection = R"(  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
    <method name="SetPosition"><arg name="TrackId" type="o" direction="in"/><arg name="Position" type="x" direction="in"/></method>
    <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="read"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="read"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg name="interface_name" type="s" direction="in"/><arg name="property_name" type="s" direction="in"/><arg name="value" type="v" direction="out"/></method>
    <method name="GetAll"><arg name="interface_name" type="s" direction="in"/><arg name="properties" type="a{sv}" direction="out"/></method>
    <method name="Set"><arg name="interface_name" type="s" direction="in"/><arg name="property_name" type="s" direction="in"/><arg name="value" type="v" direction="in"/></method>
    <signal name="PropertiesChanged"><arg name="interface_name" type="s"/><arg name="changed_properties" type="a{sv}"/><arg name="invalidated_properties" type="as"/></signal>
  </interface>
)";

QString statusText(ui::PlaybackStatus status)
{
    switch (status) {
    case ui::PlaybackStatus::Playing:
        return QStringLiteral("Playing");
    case ui::PlaybackStatus::Paused:
        return QStringLiteral("Paused");
    case ui::PlaybackStatus::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

} // namespace

QString mprisTrackId(long long identifier)
{
    // Object paths take letters, digits and underscores only: the identifier is a number.
    return QStringLiteral("/org/parlivo/Recording/%1").arg(identifier < 0 ? 0 : identifier);
}

QVariantMap mprisMetadata(const ui::MediaMetadata* metadata, const QString& artUrl)
{
    QVariantMap map;
    if (!metadata) {
        map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(mprisTrackId(metadata->identifier))));
    if (!artUrl.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), artUrl);
    map.insert(QStringLiteral("mpris:length"), qlonglong(metadata->lengthSeconds * 1e6));
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(metadata->title));
    if (!metadata->category.empty())
        map.insert(QStringLiteral("xesam:genre"), QStringList { QString::fromStdString(metadata->category) });
    return map;
}

MprisService::MprisService(QDBusConnection bus, std::function<void()> raise)
    : m_bus(std::move(bus))
    , m_raise(std::move(raise))
{
    if (!m_bus.isConnected())
        return;
    if (!m_bus.registerVirtualObject(kObjectPath, this))
        return;
    // A second Parlivo (on other documents) keeps its own name, as MPRIS asks.
    m_serviceName = kServicePrefix;
    if (!m_bus.registerService(m_serviceName)) {
        m_serviceName = kServicePrefix + QStringLiteral(".instance") + QString::number(getpid());
        if (!m_bus.registerService(m_serviceName)) {
            m_bus.unregisterObject(kObjectPath);
            return;
        }
    }
    m_registered = true;
    m_lastPlayerProperties = playerProperties();
    ui::Application::sharedApplication().setMediaPlayerChangeHandler([this] { refresh(); });
}

MprisService::~MprisService()
{
    if (!m_registered)
        return;
    ui::Application::sharedApplication().setMediaPlayerChangeHandler(nullptr);
    m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(kObjectPath);
}

QVariantMap MprisService::rootProperties() const
{
    return {
        { QStringLiteral("CanQuit"), true },
        { QStringLiteral("CanRaise"), true },
        { QStringLiteral("HasTrackList"), false },
        { QStringLiteral("Identity"), QStringLiteral("Parlivo") },
        { QStringLiteral("DesktopEntry"), QStringLiteral(PARLIVO_APP_ID) },
        { QStringLiteral("SupportedUriSchemes"), QStringList() },
        { QStringLiteral("SupportedMimeTypes"), QStringList() },
    };
}

QString MprisService::artworkUrl(const std::shared_ptr<const std::vector<std::uint8_t>>& artwork)
{
    if (artwork == m_artwork)
        return m_artworkUrl;
    if (!m_artworkUrl.isEmpty())
        QFile::remove(QUrl(m_artworkUrl).toLocalFile());
    m_artwork = artwork;
    m_artworkUrl.clear();
    if (!artwork || artwork->empty())
        return m_artworkUrl;
    if (!m_artworkDirectory) {
        // Only the user may read the pictures: a directory of its own, made afresh.
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QString base = !runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists() ? QString::fromLocal8Bit(runtime) : QDir::tempPath();
        m_artworkDirectory = std::make_unique<QTemporaryDir>(base + QStringLiteral("/parlivo-artwork-XXXXXX"));
    }
    if (!m_artworkDirectory->isValid())
        return m_artworkUrl;
    QByteArray bytes(reinterpret_cast<const char*>(artwork->data()), qsizetype(artwork->size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QByteArray format = QImageReader::imageFormat(&buffer);
    // A new name for every picture: the desktop keeps pictures by their address.
    const QString path = m_artworkDirectory->filePath(QStringLiteral("picture-%1.%2").arg(++m_artworkCount).arg(format.isEmpty() ? QStringLiteral("img") : QString::fromLatin1(format)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return m_artworkUrl;
    m_artworkUrl = QUrl::fromLocalFile(path).toString();
    return m_artworkUrl;
}

QVariantMap MprisService::playerProperties()
{
    auto player = ui::Application::sharedApplication().mediaPlayer();
    auto metadata = player ? player->nowPlaying() : nullptr;
    const ui::PlaybackStatus status = player ? player->playbackStatus() : ui::PlaybackStatus::Stopped;
    return {
        { QStringLiteral("PlaybackStatus"), statusText(status) },
        { QStringLiteral("Rate"), 1.0 },
        { QStringLiteral("Metadata"), mprisMetadata(metadata.get(), artworkUrl(metadata ? metadata->artwork : nullptr)) },
        { QStringLiteral("Volume"), 1.0 },
        { QStringLiteral("Position"), qlonglong(player ? player->position() * 1e6 : 0) },
        { QStringLiteral("MinimumRate"), 1.0 },
        { QStringLiteral("MaximumRate"), 1.0 },
        { QStringLiteral("CanGoNext"), player && player->canGoNext() },
        { QStringLiteral("CanGoPrevious"), player && player->canGoPrevious() },
        { QStringLiteral("CanPlay"), player && (player->canPlay() || status == ui::PlaybackStatus::Playing) },
        { QStringLiteral("CanPause"), player && (player->canPause() || status == ui::PlaybackStatus::Paused) },
        { QStringLiteral("CanSeek"), player && player->canSeek() },
        { QStringLiteral("CanControl"), true },
    };
}

void MprisService::refresh()
{
    if (!m_registered)
        return;
    QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        // Position changes all the time and is asked for, never announced.
        if (it.key() != QLatin1String("Position") && m_lastPlayerProperties.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_lastPlayerProperties = now;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kPropertiesInterface, QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    m_bus.send(signal);
}

void MprisService::callPlayer(const QString& method)
{
    auto player = ui::Application::sharedApplication().mediaPlayer();
    if (!player)
        return;
    if (method == QLatin1String("Play"))
        player->play();
    else if (method == QLatin1String("Pause"))
        player->pause();
    else if (method == QLatin1String("PlayPause"))
        player->playPause();
    else if (method == QLatin1String("Stop"))
        player->stop();
    else if (method == QLatin1String("Next"))
        player->next();
    else if (method == QLatin1String("Previous"))
        player->previous();
}

// Seek moves by an offset, SetPosition to a place of the track named; both in microseconds.
// What MPRIS asks: a place before the start is the start; past the end, Seek goes to the next
// recording and SetPosition does nothing, as it does for another track or a negative place.
void MprisService::seek(const QString& method, const QList<QVariant>& arguments)
{
    auto player = ui::Application::sharedApplication().mediaPlayer();
    auto metadata = player ? player->nowPlaying() : nullptr;
    if (!player || !metadata || !player->canSeek())
        return;
    const double length = metadata->lengthSeconds;
    double target = 0;
    if (method == QLatin1String("Seek")) {
        target = player->position() + double(arguments.value(0).toLongLong()) / 1e6;
        if (target > length) {
            player->next();
            return;
        }
        target = std::max(0.0, target);
    } else {
        const QString track = qvariant_cast<QDBusObjectPath>(arguments.value(0)).path();
        target = double(arguments.value(1).toLongLong()) / 1e6;
        if (track != mprisTrackId(metadata->identifier) || target < 0 || target > length)
            return;
    }
    player->seekTo(target);
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kPlayerInterface, QStringLiteral("Seeked"));
    signal << qlonglong(target * 1e6);
    m_bus.send(signal);
}

bool MprisService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.path() != kObjectPath || message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString interface = message.interface();
    const QString member = message.member();
    const QList<QVariant> arguments = message.arguments();
    auto reply = [&](const QList<QVariant>& values = {}) {
        connection.send(message.createReply(values));
        return true;
    };
    auto error = [&](const QString& name, const QString& text) {
        connection.send(message.createErrorReply(name, text));
        return true;
    };

    if (interface == kPropertiesInterface || (interface.isEmpty() && (member == QLatin1String("Get") || member == QLatin1String("GetAll")))) {
        const QString target = arguments.value(0).toString();
        QVariantMap properties = target == kRootInterface ? rootProperties() : target == kPlayerInterface ? playerProperties() : QVariantMap();
        if (member == QLatin1String("GetAll"))
            return reply({ properties });
        if (member == QLatin1String("Get")) {
            const QString name = arguments.value(1).toString();
            if (!properties.contains(name))
                return error(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"), QStringLiteral("No such property: ") + name);
            return reply({ QVariant::fromValue(QDBusVariant(properties.value(name))) });
        }
        if (member == QLatin1String("Set"))
            return error(QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"), QStringLiteral("Parlivo's properties are read-only"));
        return false;
    }
    if (interface == kRootInterface || (interface.isEmpty() && (member == QLatin1String("Raise") || member == QLatin1String("Quit")))) {
        if (member == QLatin1String("Raise")) {
            if (m_raise)
                m_raise();
            return reply();
        }
        if (member == QLatin1String("Quit")) {
            reply();
            ui::Application::sharedApplication().terminate();
            return true;
        }
        return false;
    }
    if (interface == kPlayerInterface || interface.isEmpty()) {
        static const QStringList kTransport { QStringLiteral("Play"), QStringLiteral("Pause"), QStringLiteral("PlayPause"),
            QStringLiteral("Stop"), QStringLiteral("Next"), QStringLiteral("Previous") };
        if (kTransport.contains(member)) {
            // Answer first: the player's reaction may take the main thread for a while.
            reply();
            callPlayer(member);
            return true;
        }
        if (member == QLatin1String("Seek") || member == QLatin1String("SetPosition")) {
            reply();
            seek(member, arguments);
            return true;
        }
        // Opening addresses is not offered: doing nothing is what MPRIS asks of a player that cannot.
        if (member == QLatin1String("OpenUri"))
            return reply();
        return false;
    }
    return false;
}

QString MprisService::introspect(const QString& path) const
{
    return path == kObjectPath ? QString::fromLatin1(kIntrospection) : QString();
}

} // namespace host
