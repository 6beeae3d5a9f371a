#include "cache/mediacachemanager.h"

#include "base/console.h"
#include "cache/atomicfilewriter.h"
#include "cache/persistedqueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

MediaCacheManager& MediaCacheManager::shared() {
    static MediaCacheManager manager(defaultCacheDirectory());
    return manager;
}

QString MediaCacheManager::defaultCacheDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/OrrisMediaPlayer");
}

MediaCacheManager::MediaCacheManager(const QString& cacheDirectory)
    : m_cacheDirectory(cacheDirectory) {
    m_artworkMemoryCache.setMaxCost(artworkMemoryLimitBytes);
    createSubdirectories();
}

void MediaCacheManager::putArtworkInMemory(const QString& key, const QImage& image) {
    // Each entry costs at least an equal share of the budget, so the byte
    // limit also keeps the count within artworkMemoryLimitCount.
    constexpr qsizetype share = artworkMemoryLimitBytes / artworkMemoryLimitCount;
    m_artworkMemoryCache.insert(key, new QImage(image), std::max(image.sizeInBytes(), share));
}

void MediaCacheManager::createSubdirectories() {
    for (const QString& name : subdirectoryNames)
        QDir().mkpath(subdirectory(name)); // a failure shows up when an owner writes
}

QString MediaCacheManager::subdirectory(const QString& name) const {
    return m_cacheDirectory + QLatin1Char('/') + name;
}

QString MediaCacheManager::queueFilePath() const {
    return m_cacheDirectory + QStringLiteral("/global_queue.json");
}

std::optional<std::pair<QList<MediaItem>, int>> MediaCacheManager::loadQueue() {
    QFile file(queueFilePath());
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("[Cache] No global queue file found."));
        return std::nullopt;
    }
    QString error;
    const std::optional<PersistedQueue> stored = PersistedQueue::fromJson(file.readAll(), &error);
    if (!stored) {
        printLine(QStringLiteral("[Cache] Failed to decode queue JSON: ") + error);
        return std::nullopt;
    }
    printLine(QStringLiteral("[Cache] Successfully loaded queue of %1 items at index %2")
                  .arg(stored->queue.size())
                  .arg(stored->index));
    return std::make_pair(stored->queue, stored->index);
}

void MediaCacheManager::saveQueue(const QList<MediaItem>& queue, int index) {
    const qsizetype count = queue.size();
    std::weak_ptr<bool> alive = m_alive;
    AtomicFileWriter::shared().write(
        queueFilePath(),
        [queue, index, alive](QString* error) {
            if (alive.expired()) {
                *error = QStringLiteral("cache manager is gone");
                return QByteArray();
            }
            return PersistedQueue{queue, index}.toJson();
        },
        [count](const QString& error) {
            if (error.isEmpty())
                printLine(QStringLiteral("[Cache] Saved queue to disk. (%1 items)").arg(count));
            else
                printLine(QStringLiteral("[Cache] Failed to encode queue JSON: ") + error);
        });
}

void MediaCacheManager::clearCache() {
    m_artworkMemoryCache.clear();
    const QFileInfo root(m_cacheDirectory);
    if (root.exists() || root.isSymLink()) {
        const bool removed = root.isDir() && !root.isSymLink()
                                 ? QDir(m_cacheDirectory).removeRecursively()
                                 : QFile::remove(m_cacheDirectory);
        if (!removed) {
            printLine(QStringLiteral("Error clearing cache: could not remove ") + m_cacheDirectory);
            return;
        }
        printLine(QStringLiteral("Cache directory removed successfully."));
    }
    for (const QString& name : subdirectoryNames) {
        if (!QDir().mkpath(subdirectory(name))) {
            printLine(QStringLiteral("Error clearing cache: could not create ") +
                      subdirectory(name));
            return;
        }
    }
    printLine(QStringLiteral("Cache directories recreated."));
}
