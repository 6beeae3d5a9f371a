#include "library/artworkresolver.h"

#include "cache/backgroundtask.h"
#include "cache/containerinfo.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "playback/filepresence.h"

#include <QTimer>

namespace {

enum class Found { Nothing, StoredFile, NewArtwork };

struct Lookup {
    QImage image;
    Found found = Found::Nothing;
};

bool isPlaceholder(const QUrl& url) {
    return filePresence(normalizedPath(url)) == FilePresence::Placeholder;
}

// Steps after the memory level; reads files only, so it runs off the GUI thread.
Lookup lookUpFiles(const QString& storedFile, const std::optional<QUrl>& artworkURL,
                   const std::optional<QUrl>& firstAudioFileURL) {
    Lookup result;
    if (QImage stored = decodeImageFile(storedFile); !stored.isNull())
        return {stored, Found::StoredFile};
    if (artworkURL && !isPlaceholder(*artworkURL)) {
        if (QImage image = decodeImageFile(normalizedPath(*artworkURL)); !image.isNull())
            return {image, Found::NewArtwork};
    }
    if (!firstAudioFileURL || isPlaceholder(*firstAudioFileURL))
        return result;
    const std::optional<ContainerInfo> container =
        readContainerInfo(normalizedPath(*firstAudioFileURL));
    if (!container)
        return result;
    for (const QByteArray& picture : container->artwork) {
        if (QImage image = decodeImageData(picture); !image.isNull())
            return {image, Found::NewArtwork};
    }
    return result;
}

} // namespace

void resolveArtwork(const MediaItem& item, QObject* context,
                    std::function<void(const QImage& image)> done) {
    MediaCacheManager& manager = MediaCacheManager::shared();
    const QUrl url = item.url();
    if (QImage image = memoryCachedArtwork(manager, url); !image.isNull()) {
        QTimer::singleShot(0, context, [done, image] { done(image); });
        return;
    }
    runInBackground(
        context,
        [storedFile = artworkCacheFilePath(manager, url), artworkURL = item.artworkURL,
         firstAudio = item.firstAudioFileURL] {
            return lookUpFiles(storedFile, artworkURL, firstAudio);
        },
        [url, done](Lookup lookup) {
            MediaCacheManager& manager = MediaCacheManager::shared();
            if (lookup.found == Found::StoredFile)
                putInMemoryCache(manager, lookup.image, url);
            else if (lookup.found == Found::NewArtwork)
                cacheArtwork(manager, lookup.image, url);
            done(lookup.image);
        });
}
