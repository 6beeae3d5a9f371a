#include "library/artworkstore.h"

#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "library/mediaitem.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

void cacheArtwork(const QImage& image, const QUrl& url) {
    cacheArtwork(MediaCacheManager::shared(), image, url);
}

void cacheArtwork(MediaCacheManager& manager, const QImage& image, const QUrl& url) {
    if (image.isNull())
        return;
    putInMemoryCache(manager, image, url);
    // PNG encoding takes long for large covers, so the writer's thread does
    // it; the copy shares the pixels and is never modified there.
    AtomicFileWriter::shared().write(artworkCacheFilePath(manager, url), [image](QString* error) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            *error = QStringLiteral("PNG encoding failed");
        return bytes;
    });
}

void waitForArtworkFiles() {
    AtomicFileWriter::shared().waitForIdle();
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
    manager.putArtworkInMemory(cacheKey(url), image);
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
