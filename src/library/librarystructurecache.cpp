#include "library/librarystructurecache.h"

#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "library/mediaitemjson.h"

#include <QFile>

namespace LibraryStructureCache {

QString filePath(const QUrl& root) {
    return MediaCacheManager::shared().subdirectory(QStringLiteral("LibraryStructure")) +
           QLatin1Char('/') + cacheKey(root) + QStringLiteral("_library.json");
}

std::optional<MediaItem> load(const QString& filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    std::optional<MediaItem> tree = decodeMediaItem(file.readAll());
    if (!tree || !tree->isDirectory)
        return std::nullopt;
    return tree;
}

void store(const QString& filePath, const MediaItem& tree) {
    AtomicFileWriter::shared().write(filePath, [tree](QString*) { return encodeMediaItem(tree); });
}

} // namespace LibraryStructureCache
