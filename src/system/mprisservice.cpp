#include "system/mprisservice.h"

#include "cache/cachekey.h"
#include "system/mprisplayeradaptor.h"
#include "system/mprisrootadaptor.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <algorithm>
#include <cmath>

namespace {

constexpr double microsecondsPerSecond = 1e6;

qint64 microseconds(double seconds) {
    return qint64(std::max(0.0, seconds) * microsecondsPerSecond);
}

} // namespace

MprisService::MprisService(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    m_announced = playerProperties();
}

MprisService::~MprisService() {
    if (!isPublished())
        return;
    m_bus.unregisterObject(objectPath);
    m_bus.unregisterService(m_publishedName);
}

bool MprisService::publish() {
    if (isPublished())
        return true;
    if (!m_bus.isConnected())
        return false;
    if (!m_bus.registerObject(objectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    const QString names[] = {serviceName, serviceName + QStringLiteral(".instance") +
                                              QString::number(QCoreApplication::applicationPid())};
    for (const QString& name : names) {
        // Not queued: a name that is taken now is of no use to this process.
        const auto reply =
            m_bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                               QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_publishedName = name;
            return true;
        }
    }
    m_bus.unregisterObject(objectPath);
    return false;
}

void MprisService::setNowPlaying(std::optional<NowPlayingInfo> info, NowPlayingState state) {
    m_nowPlaying = std::move(info);
    m_state = state;
    announceChanges();
}

void MprisService::setVolume(double volume) {
    m_volume = volume;
    announceChanges();
}

void MprisService::notifySeeked(double seconds) {
    emit seeked(seconds);
    if (!isPublished())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, playerInterface, QStringLiteral("Seeked"));
    signal << microseconds(seconds);
    m_bus.send(signal);
}

QVariantMap MprisService::metadata() const {
    if (!m_nowPlaying)
        return {};
    const NowPlayingInfo& info = *m_nowPlaying;
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId(info.url)));
    map.insert(QStringLiteral("xesam:url"), info.url.toString(QUrl::FullyEncoded));
    map.insert(QStringLiteral("xesam:title"), info.title);
    map.insert(QStringLiteral("xesam:artist"), QStringList{info.artist});
    if (info.durationSeconds > 0)
        map.insert(QStringLiteral("mpris:length"), microseconds(info.durationSeconds));
    if (!info.artworkFile.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"),
                   QUrl::fromLocalFile(info.artworkFile).toString(QUrl::FullyEncoded));
    return map;
}

QString MprisService::playbackStatus() const {
    switch (m_state) {
    case NowPlayingState::Playing:
        return QStringLiteral("Playing");
    case NowPlayingState::Paused:
        return QStringLiteral("Paused");
    case NowPlayingState::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

qint64 MprisService::positionMicroseconds() const {
    if (!m_nowPlaying)
        return 0;
    return microseconds(m_positionSource ? m_positionSource() : m_nowPlaying->elapsedSeconds);
}

QDBusObjectPath MprisService::trackId(const QUrl& url) {
    // Object-path elements allow only [A-Za-z0-9_]; the hash keeps them short.
    const quint64 hash = quint64(cacheHash(url.toString(QUrl::FullyEncoded)));
    return QDBusObjectPath(QStringLiteral("/org/tolvane/track/") + QString::number(hash, 16));
}

void MprisService::seekBy(qint64 offsetMicroseconds) {
    if (!m_nowPlaying || !m_commands.changePlaybackPosition)
        return;
    // In seconds, so that no offset can overflow.
    const double target = std::max(0.0, double(positionMicroseconds()) / microsecondsPerSecond +
                                            double(offsetMicroseconds) / microsecondsPerSecond);
    // Past the end means the next track.
    if (m_nowPlaying->durationSeconds > 0 && target > m_nowPlaying->durationSeconds) {
        if (m_commands.nextTrack)
            m_commands.nextTrack();
        return;
    }
    if (!m_commands.changePlaybackPosition(target) && calledFromDBus())
        sendErrorReply(QDBusError::Failed, QStringLiteral("The player is gone."));
}

void MprisService::setPosition(const QDBusObjectPath& track, qint64 positionMicroseconds) {
    // A request about another track than the current one is stale: ignored.
    if (!m_nowPlaying || track != trackId(m_nowPlaying->url) || positionMicroseconds < 0)
        return;
    const double seconds = double(positionMicroseconds) / microsecondsPerSecond;
    if (m_nowPlaying->durationSeconds > 0 && seconds > m_nowPlaying->durationSeconds)
        return;
    if (!m_commands.changePlaybackPosition)
        return;
    if (!m_commands.changePlaybackPosition(seconds) && calledFromDBus())
        sendErrorReply(QDBusError::Failed, QStringLiteral("The player is gone."));
}

void MprisService::requestVolume(double volume) {
    if (m_commands.setVolume && std::isfinite(volume))
        m_commands.setVolume(std::clamp(volume, 0.0, 1.0));
}

bool MprisService::openUri(const QString& uri, QString* error) {
    if (!m_commands.openUrl) {
        *error = QStringLiteral("Opening is not supported.");
        return false;
    }
    return m_commands.openUrl(QUrl(uri), error);
}

QVariantMap MprisService::playerProperties() const {
    return {{QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("PlaybackStatus"), playbackStatus()},
            {QStringLiteral("Volume"), m_volume}};
}

void MprisService::announceChanges() {
    const QVariantMap current = playerProperties();
    QVariantMap changed;
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_announced = current;
    if (changed.isEmpty() || !isPublished())
        return;
    QDBusMessage signal =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << playerInterface << changed << QStringList();
    m_bus.send(signal);
}
