#pragma once

#include "system/nowplayinginfo.h"
#include "system/remotecommands.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QVariantMap>
#include <functional>
#include <optional>

class MprisPlayerAdaptor;

// The player's face on the session bus: an MPRIS 2 service through which the
// desktop's media keys and now-playing widgets see the record and send
// commands. It holds the record and forwards commands to RemoteCommands;
// it knows nothing of the view model. GUI thread only.
class MprisService : public QObject, public QDBusContext {
    Q_OBJECT

public:
    static inline const QString serviceName = QStringLiteral("org.mpris.MediaPlayer2.tolvane");
    static inline const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
    static inline const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

    explicit MprisService(QDBusConnection bus, QObject* parent = nullptr);
    ~MprisService() override;

    // Exports the object and claims the service name; when another process
    // holds it, a name of this process's own ("...tolvane.instance<pid>").
    // False when the bus cannot be reached or nothing could be claimed.
    bool publish();
    bool isPublished() const { return !m_publishedName.isEmpty(); }
    const QString& publishedName() const { return m_publishedName; }

    void setCommands(RemoteCommands commands) { m_commands = std::move(commands); }
    const RemoteCommands& commands() const { return m_commands; }
    // Where Position is read from, in seconds; the record's elapsed time without it.
    void setPositionSource(std::function<double()> source) { m_positionSource = std::move(source); }

    // Replaces the whole record (nothing clears it) and the playback state.
    // Clients are told what changed.
    void setNowPlaying(std::optional<NowPlayingInfo> info, NowPlayingState state);
    const std::optional<NowPlayingInfo>& nowPlaying() const { return m_nowPlaying; }
    NowPlayingState state() const { return m_state; }
    void setVolume(double volume);
    double volume() const { return m_volume; }
    // Tells clients that the position jumped (a seek).
    void notifySeeked(double seconds);

    // The record in MPRIS form.
    QVariantMap metadata() const;
    QString playbackStatus() const;
    qint64 positionMicroseconds() const;
    // Names a track towards clients; the same file always gets the same path.
    static QDBusObjectPath trackId(const QUrl& url);

    // Requests from clients, with MPRIS's rules for positions and volume.
    void seekBy(qint64 offsetMicroseconds);
    void setPosition(const QDBusObjectPath& track, qint64 positionMicroseconds);
    void requestVolume(double volume);
    bool openUri(const QString& uri, QString* error);

signals:
    // The position jumped (notifySeeked), also while nothing is published.
    void seeked(double seconds);

private:
    // Sends PropertiesChanged for the player properties that differ from
    // what clients were last told.
    void announceChanges();
    QVariantMap playerProperties() const;

    QDBusConnection m_bus;
    QString m_publishedName;
    RemoteCommands m_commands;
    std::function<double()> m_positionSource;
    std::optional<NowPlayingInfo> m_nowPlaying;
    NowPlayingState m_state = NowPlayingState::Stopped;
    double m_volume = 1.0;
    QVariantMap m_announced;
};
