#pragma once

#include "cache/cachedmetadata.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>

// The track information of every file shown so far, keyed by the file's id
// (its URL's absolute string), kept in "metadata_cache.json" so that the next
// selection of a file shows its texts at once. GUI thread only; the file is
// written by the shared AtomicFileWriter, atomically and in call order.
class MetadataCacheManager {
public:
    // Reads its file in the background (the first use is at start-up).
    static MetadataCacheManager& shared();
    enum class Loading { AtOnce, InBackground };
    // AtOnce reads the file before returning. InBackground reads and decodes
    // it on a worker thread: until it arrives the cache holds only what was
    // inserted meanwhile (which wins over the file's records), and a save
    // waits for it so that no record of the file is lost.
    explicit MetadataCacheManager(const QString& fileURL, Loading loading = Loading::AtOnce);
    ~MetadataCacheManager();
    bool isLoaded() const { return m_loaded; }

    static QString defaultFilePath();
    const QString& fileURL() const { return m_fileURL; }

    const QHash<QString, CachedMetadata>& cache() const { return m_cache; }
    std::optional<CachedMetadata> record(const QString& id) const;
    void insert(const QString& id, const CachedMetadata& metadata);

    // Writes a copy of the dictionary as it is now; returns at once.
    void saveCache();

    static QByteArray encode(const QHash<QString, CachedMetadata>& cache);
    static std::optional<QHash<QString, CachedMetadata>> decode(const QByteArray& json,
                                                                QString* error);

private:
    struct Loaded {
        std::optional<QHash<QString, CachedMetadata>> cache;
        QString line; // what to print about the load
    };
    static Loaded readFile(const QString& fileURL);
    void loadCache();
    void loadCacheInBackground();
    void finishLoading(Loaded loaded);

    QHash<QString, CachedMetadata> m_cache;
    QString m_fileURL;
    bool m_loaded = false;
    bool m_savePending = false;
    // Lets a background read notice that this manager is gone (GUI thread).
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
