#include "system/nowplayingartwork.h"

#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPointer>
#include <QtGlobal>

NowPlayingArtwork::NowPlayingArtwork(MediaCacheManager& cache, QObject* parent)
    : QObject(parent), m_cache(cache) {}

QUrl NowPlayingArtwork::contentKey(const QImage& image) {
    const size_t pixels = qHashBits(image.constBits(), size_t(image.sizeInBytes()), 0);
    return QUrl(QStringLiteral("tolvane-artwork:%1-%2x%3-%4")
                    .arg(QString::number(quint64(pixels), 16))
                    .arg(image.width())
                    .arg(image.height())
                    .arg(int(image.format())));
}

QString NowPlayingArtwork::fileFor(const QImage& image, const QUrl& trackUrl) {
    if (image.isNull())
        return {};
    if (image.cacheKey() == m_lastImageKey && QFileInfo::exists(m_lastPath))
        return m_lastPath;

    // The store's own entry, when it holds this very image: the same object
    // shares its pixels and so its cache key.
    QString path;
    for (const QUrl& url : {trackUrl, folderUrlOf(trackUrl)}) {
        if (memoryCachedArtwork(m_cache, url).cacheKey() == image.cacheKey()) {
            path = artworkCacheFilePath(m_cache, url);
            break;
        }
    }
    if (path.isEmpty())
        path = artworkCacheFilePath(m_cache, contentKey(image));

    if (QFileInfo::exists(path) && !m_writing.contains(path)) {
        m_lastImageKey = image.cacheKey();
        m_lastPath = path;
        return path;
    }
    if (!m_writing.contains(path) && !m_failed.contains(path))
        write(image, path);
    return {};
}

void NowPlayingArtwork::write(const QImage& image, const QString& path) {
    m_writing.insert(path);
    // The same image the store would write there; a store write still waiting
    // for the same path is replaced by this one.
    auto encode = [image](QString* error) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            *error = QStringLiteral("PNG encoding failed");
        return bytes;
    };
    auto done = [self = QPointer<NowPlayingArtwork>(this), path](const QString& error) {
        QMetaObject::invokeMethod(
            self,
            [self, path, error] {
                if (!self)
                    return;
                self->m_writing.remove(path);
                if (!error.isEmpty()) {
                    self->m_failed.insert(path);
                    return;
                }
                emit self->fileWritten();
            },
            Qt::QueuedConnection);
    };
    AtomicFileWriter::shared().write(path, encode, done);
}
