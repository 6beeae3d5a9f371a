#include "playback/queueentries.h"

#include "library/filetypes.h"
#include "library/mediaitemtree.h"

#include <algorithm>

QList<MediaItem> expandedFiles(const MediaItem& item) {
    if (item.isDirectory)
        return flattenAudioFiles(item);
    if (isAudioFileName(item.id()))
        return {item};
    return {};
}

QString entryFolder(const MediaItem& entry) {
    if (entry.isDirectory)
        return entry.id();
    const QString& id = entry.id();
    const qsizetype slash = id.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : id.left(slash);
}

int clampedIndex(int index, qsizetype count) {
    return std::clamp(index, 0, static_cast<int>(std::max<qsizetype>(count, 1) - 1));
}
