#include "cache/trackinforeader.h"

#include "cache/containerinfo.h"
#include "cache/fileinforeader.h"
#include "cache/trackinfoformat.h"
#include "library/artworkstore.h"
#include "library/mediaitem.h"

namespace {

void fillFromContainer(const ContainerInfo& container, CachedMetadata& info) {
    // The year never comes from the container.
    if (!(info.title && info.artist && info.year)) {
        if (!info.title)
            info.title = container.title;
        if (!info.artist)
            info.artist = container.artist;
    }
    if (!(info.bitDepth && info.sampleRate) && container.hasAudioStream) {
        if (!info.sampleRate && container.sampleRate > 0)
            info.sampleRate = formatStreamSampleRate(container.sampleRate);
        if (!info.bitDepth && container.bitsPerRawSample != 0)
            info.bitDepth = formatBitDepth(container.bitsPerRawSample);
    }
}

QImage firstUsablePicture(const QList<QByteArray>& pictures) {
    for (const QByteArray& bytes : pictures) {
        const QImage image = decodeImageData(bytes);
        if (isUsableImage(image))
            return image;
    }
    return {};
}

void findArtwork(const TrackInfoRequest& request, const ContainerInfo& container,
                 TrackInfoResult& result) {
    auto take = [&](QImage image, ArtworkSource source) {
        if (!isUsableImage(image))
            return false;
        result.artwork = std::move(image);
        result.artworkSource = source;
        return true;
    };
    if (take(firstUsablePicture(container.artwork), ArtworkSource::Embedded))
        return;
    // A stored entry is taken as it is, like every reader of the store does.
    if (!request.folderCachedInMemory) {
        QImage stored = decodeImageFile(request.folderCacheFile);
        if (!stored.isNull()) {
            result.artwork = std::move(stored);
            result.artworkSource = ArtworkSource::FolderCache;
            return;
        }
    }
    if (request.localArtworkFile &&
        take(decodeImageFile(normalizedPath(*request.localArtworkFile)), ArtworkSource::LocalFile))
        return;
    if (request.folderArtworkUrl)
        take(decodeImageFile(normalizedPath(*request.folderArtworkUrl)),
             ArtworkSource::FolderArtworkUrl);
}

} // namespace

TrackInfoResult readTrackInfo(const TrackInfoRequest& request) {
    TrackInfoResult result;
    result.info = readFileInfo(request.fileUrl);
    const std::optional<ContainerInfo> container =
        readContainerInfo(normalizedPath(request.fileUrl));
    if (!container) {
        result.failed = true;
        return result;
    }
    fillFromContainer(*container, result.info);
    findArtwork(request, *container, result);
    return result;
}
