#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QUrl>

class MediaCacheManager;

// The two-level artwork store: the cache manager's memory cache, then one PNG
// file per key under "Artwork/<cacheKey>.data". Images are stored unscaled.
// The memory cache belongs to the GUI thread, so are these functions unless
// noted otherwise.

// Stores the image in memory under the URL's key, then encodes and writes
// the PNG file in the background (by the shared AtomicFileWriter, so a later
// store of the same key wins). A failed encode or write only leaves the
// file out.
void cacheArtwork(const QImage& image, const QUrl& url);
void cacheArtwork(MediaCacheManager& manager, const QImage& image, const QUrl& url);

// Blocks until every file stored so far is written (or failed). Any thread.
void waitForArtworkFiles();

// Memory first; on a miss the file is decoded and put into memory. A null
// image means nothing was found (an unreadable file counts as a miss).
QImage cachedArtwork(const QUrl& url);
QImage cachedArtwork(MediaCacheManager& manager, const QUrl& url);

// The memory level alone (a null image on a miss).
QImage memoryCachedArtwork(MediaCacheManager& manager, const QUrl& url);
void putInMemoryCache(MediaCacheManager& manager, const QImage& image, const QUrl& url);
// The file behind a URL's key; reading and decoding it is safe on any thread.
QString artworkCacheFilePath(const MediaCacheManager& manager, const QUrl& url);

// Names tried, in this order and by exactly these names, beside a track.
inline const QStringList folderArtworkCandidates = {"folder.jpg", "cover.jpg", "Folder.jpg",
                                                    "Cover.jpg", "artwork.jpg"};

// Valid and both sides greater than 0.
bool isUsableImage(const QImage& image);
// Decodes an image file or image bytes; a null image on any failure. Any thread.
QImage decodeImageFile(const QString& path);
QImage decodeImageData(const QByteArray& bytes);

// The folder of a file URL, in the same form as a folder item's id (no
// trailing '/'), so both address the same cache entry.
QUrl folderUrlOf(const QUrl& fileUrl);
