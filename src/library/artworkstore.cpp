#include "library/artworkstore.h"

#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "library/mediaitem.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QThreadPool>
#include <condition_variable>
#include <mutex>

void cacheArtwork(const QImage& image, const QUrl& url) {
    cacheArtwork(MediaCacheManager::shared(), image, url);
}

namespace {

// PNG encoding takes long for large covers, so it runs on the thread pool,
// which the application waits for before it shuts down (image plugins are
// gone by the time static objects are destroyed). Stores of the same file
// may finish encoding out of order; only the latest store reaches the writer.
class ArtworkFileQueue {
public:
    void store(const QImage& image, const QString& path) {
        quint64 generation;
        {
            std::lock_guard lock(m_mutex);
            generation = ++m_next;
            m_latest.insert(path, generation);
            ++m_encoding;
        }
        QThreadPool::globalInstance()->start([this, image, path, generation] {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            const bool encoded = image.save(&buffer, "PNG");
            {
                std::lock_guard lock(m_mutex);
                if (m_latest.value(path) == generation) {
                    m_latest.remove(path);
                    if (encoded) // a failed encode only leaves the file out
                        AtomicFileWriter::shared().write(path, bytes);
                }
                --m_encoding;
            }
            m_idle.notify_all();
        });
    }

    void waitForIdle() {
        {
            std::unique_lock lock(m_mutex);
            m_idle.wait(lock, [this] { return m_encoding == 0; });
        }
        AtomicFileWriter::shared().waitForIdle();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_idle;
    QHash<QString, quint64> m_latest;
    quint64 m_next = 0;
    int m_encoding = 0;
};

ArtworkFileQueue& artworkFiles() {
    static ArtworkFileQueue queue;
    return queue;
}

} // namespace

void cacheArtwork(MediaCacheManager& manager, const QImage& image, const QUrl& url) {
    if (image.isNull())
        return;
    putInMemoryCache(manager, image, url);
    // The copy shares the pixels and is never modified by the encoder.
    artworkFiles().store(image, artworkCacheFilePath(manager, url));
}

void waitForArtworkFiles() {
    artworkFiles().waitForIdle();
}

QImage cachedArtwork(const QUrl& url) {
    return cachedArtwork(MediaCacheManager::shared(), url);
}

QImage cachedArtwork(MediaCacheManager& manager, const QUrl& url) {
    QImage image = memoryCachedArtwork(manager, url);
    if (!image.isNull())
        return image;
    image = decodeImageFile(artworkCacheFilePath(manager, url));
    if (!image.isNull())
        putInMemoryCache(manager, image, url);
    return image;
}

QImage memoryCachedArtwork(MediaCacheManager& manager, const QUrl& url) {
    const QImage* image = manager.artworkMemoryCache().object(cacheKey(url));
    return image ? *image : QImage();
}

void putInMemoryCache(MediaCacheManager& manager, const QImage& image, const QUrl& url) {
    manager.artworkMemoryCache().insert(cacheKey(url), new QImage(image), 1);
}

QString artworkCacheFilePath(const MediaCacheManager& manager, const QUrl& url) {
    return manager.subdirectory(QStringLiteral("Artwork")) + QLatin1Char('/') + cacheKey(url) +
           QStringLiteral(".data");
}

bool isUsableImage(const QImage& image) {
    return !image.isNull() && image.width() > 0 && image.height() > 0;
}

QImage decodeImageFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeImageData(file.readAll());
}

QImage decodeImageData(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return {};
    return QImage::fromData(bytes);
}

QUrl folderUrlOf(const QUrl& fileUrl) {
    return QUrl::fromLocalFile(QFileInfo(normalizedPath(fileUrl)).path());
}
