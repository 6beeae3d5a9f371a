#pragma once

#include "library/mediaitem.h"

#include <QString>
#include <QUrl>
#include <optional>

// The last scanned tree of each media folder, stored as
// "LibraryStructure/<cacheKey of the root>_library.json" in the cache tree,
// so that a folder opened again shows its tree before a new scan ends.
namespace LibraryStructureCache {

// GUI thread: the cache directory belongs to MediaCacheManager.
QString filePath(const QUrl& root);

// Any thread. A missing, unreadable or undecodable file counts as no cache.
std::optional<MediaItem> load(const QString& filePath);

// Returns at once; the shared writer encodes and writes the file in the
// background. Failures are dropped.
void store(const QString& filePath, const MediaItem& tree);

} // namespace LibraryStructureCache
