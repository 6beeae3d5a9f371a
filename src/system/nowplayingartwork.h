#pragma once

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

class MediaCacheManager;

// Finds the artwork cache file that shows the current artwork, for desktops
// that load now-playing artwork from a file. Prefers the file the artwork
// store keeps for the track or its folder; an image that has no file of its
// own is written under a key derived from its pixels. GUI thread only.
class NowPlayingArtwork : public QObject {
    Q_OBJECT

public:
    explicit NowPlayingArtwork(MediaCacheManager& cache, QObject* parent = nullptr);

    // The file holding `image` (shown for `trackUrl`), or "" when there is no
    // image or its file is still being written; fileWritten() follows then.
    QString fileFor(const QImage& image, const QUrl& trackUrl);

    // The cache-store key of an image's own file: the same pixels give the same key.
    static QUrl contentKey(const QImage& image);

signals:
    void fileWritten();

private:
    void write(const QImage& image, const QString& path);

    MediaCacheManager& m_cache;
    qint64 m_lastImageKey = 0;
    QString m_lastPath;
    // Files being written, and files that could not be written.
    QSet<QString> m_writing;
    QSet<QString> m_failed;
};
