#pragma once

#include "cache/cachedmetadata.h"

#include <QHash>
#include <QString>
#include <optional>

// The track information of every file shown so far, keyed by the file's id
// (its URL's absolute string), kept in "metadata_cache.json" so that the next
// selection of a file shows its texts at once. GUI thread only; the file is
// written by the shared AtomicFileWriter, atomically and in call order.
class MetadataCacheManager {
public:
    static MetadataCacheManager& shared();
    // Reads the file at once (see loadCache).
    explicit MetadataCacheManager(const QString& fileURL);

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
    void loadCache();

    QHash<QString, CachedMetadata> m_cache;
    QString m_fileURL;
};
