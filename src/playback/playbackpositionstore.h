#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// Where a track's playback position is kept: one file per track under
// "PlaybackPositions", named by the track's cache key, holding one JSON number.
class PlaybackPositionStore {
public:
    explicit PlaybackPositionStore(QString directory);
    // The store in the shared cache tree.
    static PlaybackPositionStore shared();

    QString filePath(const QUrl& trackUrl) const;
    // Replaces the track's file through the shared writer and waits for it,
    // so that it is on disk when the program goes on to quit. Returns an error text or "".
    QString save(const QUrl& trackUrl, double seconds) const;
    std::optional<double> load(const QUrl& trackUrl) const;

    // A top-level JSON number that reads back as the same double.
    static QByteArray encode(double seconds);
    static std::optional<double> decode(const QByteArray& json);

private:
    QString m_directory;
};
