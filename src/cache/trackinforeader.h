#pragma once

#include "cache/cachedmetadata.h"

#include <QImage>
#include <QString>
#include <QUrl>
#include <optional>

// The part of loading a track's information that reads files: tags, the
// container and the artwork candidates. It runs off the GUI thread; the
// caller applies the result there (memory cache, published fields).

enum class ArtworkSource {
    None,
    Embedded,         // a picture stored in the audio file
    FolderCache,      // the folder's entry of the artwork store, read from disk
    LocalFile,        // the image file found beside the track
    FolderArtworkUrl, // the cover the library scan chose for the folder
};

struct TrackInfoRequest {
    QUrl fileUrl;
    // The folder's entry in the artwork store; left unread when the memory
    // level already holds it, since that wins anyway.
    QString folderCacheFile;
    bool folderCachedInMemory = false;
    std::optional<QUrl> localArtworkFile;
    std::optional<QUrl> folderArtworkUrl;
};

struct TrackInfoResult {
    // The container could not be read: nothing is to be applied or stored.
    bool failed = false;
    CachedMetadata info;
    QImage artwork;
    ArtworkSource artworkSource = ArtworkSource::None;
};

// Tags first, then the container fills what they left out (title and artist,
// or sample rate and bit depth), then the first usable artwork in the order
// embedded, folder cache, local file, folder artwork URL.
TrackInfoResult readTrackInfo(const TrackInfoRequest& request);
