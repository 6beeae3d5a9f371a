#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/backgroundtask.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "cache/metadatacachemanager.h"
#include "cache/trackinforeader.h"
#include "library/artworkfinder.h"
#include "library/artworkstore.h"
#include "library/mediaitemtree.h"

namespace {

// The artwork of the track's folder: the folder's own memory entry wins over
// whatever the background read found after the embedded picture.
QImage settleArtwork(TrackInfoResult& result, const QUrl& fileUrl, const QUrl& folderUrl) {
    MediaCacheManager& manager = MediaCacheManager::shared();
    if (result.artworkSource == ArtworkSource::Embedded) {
        cacheArtwork(manager, result.artwork, fileUrl);
        return result.artwork;
    }
    if (QImage stored = memoryCachedArtwork(manager, folderUrl); !stored.isNull())
        return stored;
    if (result.artworkSource == ArtworkSource::FolderCache)
        putInMemoryCache(manager, result.artwork, folderUrl);
    else if (result.artworkSource == ArtworkSource::LocalFile)
        cacheArtwork(manager, result.artwork, folderUrl);
    return result.artwork;
}

void applyTrackInfo(MediaLibraryViewModel& model, const QString& id, const CachedMetadata& info,
                    const QImage& artwork) {
    // Absent values leave what is shown (the file name, "Unknown Artist").
    if (info.title)
        model.setCurrentTitle(info.title);
    if (info.artist)
        model.setCurrentArtist(info.artist);
    model.setCurrentArtwork(artwork);
    if (info.bitDepth)
        model.setCurrentBitDepth(info.bitDepth);
    if (info.sampleRate)
        model.setCurrentSampleRate(info.sampleRate);
    if (info.filesize)
        model.setCurrentFilesize(info.filesize);
    if (info.fileType)
        model.setCurrentFileType(info.fileType);
    if (info.year)
        model.setCurrentYear(info.year);

    MetadataCacheManager& cache = MetadataCacheManager::shared();
    cache.insert(id,
                 CachedMetadata{model.currentTitle(), model.currentArtist(), model.currentYear(),
                                model.currentFileType(), model.currentBitDepth(),
                                model.currentSampleRate(), model.currentFilesize()});
    cache.saveCache();
    model.setIsLoading(false);
}

} // namespace

void MediaLibraryViewModel::loadTrackInfo(const MediaItem& item) {
    setIsLoading(true);
    if (m_isDownloading)
        return; // asked again when the download has finished

    const QUrl fileUrl = item.url();
    const QUrl folderUrl = folderUrlOf(fileUrl);
    std::optional<QUrl> folderArtworkUrl;
    if (m_rootFolder) {
        if (auto parent = findParentFolder({*m_rootFolder}, fileUrl))
            folderArtworkUrl = parent->artworkURL;
    }
    if (!folderArtworkUrl && m_selectedFolder)
        folderArtworkUrl = m_selectedFolder->artworkURL;
    const std::optional<QUrl> localArtworkFile = findArtwork(folderUrl);

    // A known file shows its texts in this very turn; the task refreshes them.
    if (auto record = MetadataCacheManager::shared().record(item.id())) {
        setCurrentTitle(record->title);
        setCurrentArtist(record->artist);
        setCurrentYear(record->year);
        setCurrentFileType(record->fileType);
        setCurrentBitDepth(record->bitDepth);
        setCurrentSampleRate(record->sampleRate);
        setCurrentFilesize(record->filesize);
    } else {
        setCurrentBitDepth(std::nullopt);
        setCurrentSampleRate(std::nullopt);
        setCurrentFilesize(std::nullopt);
        setCurrentFileType(std::nullopt);
        setCurrentYear(std::nullopt);
    }

    MediaCacheManager& manager = MediaCacheManager::shared();
    TrackInfoRequest request;
    request.fileUrl = fileUrl;
    request.folderCacheFile = artworkCacheFilePath(manager, folderUrl);
    request.folderCachedInMemory = !memoryCachedArtwork(manager, folderUrl).isNull();
    request.localArtworkFile = localArtworkFile;
    request.folderArtworkUrl = folderArtworkUrl;
    const QString recordFile = manager.subdirectory(QStringLiteral("Metadata")) + QLatin1Char('/') +
                               cacheKey(fileUrl) + QStringLiteral(".json");

    runInBackground(
        this,
        [request, recordFile, current = selectionUnchanged()]() -> std::optional<TrackInfoResult> {
            if (!current())
                return std::nullopt; // the user has moved on before its turn came
            TrackInfoResult result = readTrackInfo(request);
            // Written whatever is selected by then.
            if (!result.failed)
                AtomicFileWriter::shared().write(recordFile, result.info.toJson());
            return result;
        },
        [this, id = item.id(), fileUrl, folderUrl](std::optional<TrackInfoResult> read) {
            if (!read)
                return;
            TrackInfoResult& result = *read;
            const bool stillSelected = m_selectedFile && m_selectedFile->id() == id;
            if (result.failed) {
                if (stillSelected)
                    setIsLoading(false);
                return;
            }
            const QImage artwork = settleArtwork(result, fileUrl, folderUrl);
            if (!stillSelected)
                return;
            applyTrackInfo(*this, id, result.info, artwork);
        });
}
