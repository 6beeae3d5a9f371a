#pragma once

#include "library/mediaitem.h"

#include <QCache>
#include <QImage>
#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <utility>

// Owns the cache tree ($XDG_DATA_HOME/OrrisMediaPlayer), the in-memory
// artwork cache and the stored playback queue. Used from the GUI thread only;
// files are written by the shared AtomicFileWriter.
class MediaCacheManager {
public:
    static MediaCacheManager& shared();

    explicit MediaCacheManager(const QString& cacheDirectory);

    static QString defaultCacheDirectory();
    static inline const QStringList subdirectoryNames = {"Metadata", "Artwork", "Waveforms",
                                                         "PlaybackPositions", "LibraryStructure"};

    const QString& cacheDirectory() const { return m_cacheDirectory; }
    QString subdirectory(const QString& name) const;
    QString queueFilePath() const;

    // Decoded artwork by key, bounded by the bytes of the decoded images and by
    // their number; the least recently used entries go first.
    static constexpr qsizetype artworkMemoryLimitBytes = qsizetype(256) * 1024 * 1024;
    static constexpr int artworkMemoryLimitCount = 5000;
    QCache<QString, QImage>& artworkMemoryCache() { return m_artworkMemoryCache; }
    // An image larger than the whole budget is not kept.
    void putArtworkInMemory(const QString& key, const QImage& image);

    std::optional<std::pair<QList<MediaItem>, int>> loadQueue();
    // Captures the values and returns at once; the file is written in the background.
    void saveQueue(const QList<MediaItem>& queue, int index);
    void clearCache();

private:
    void createSubdirectories();

    QString m_cacheDirectory;
    QCache<QString, QImage> m_artworkMemoryCache;
    // Lets a background save notice that this manager is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

public:
    ~MediaCacheManager() { *m_alive = false; }
};
