#include "library/mediaitemtree.h"

#include "library/filetypes.h"

static void appendAudioFiles(const MediaItem& folder, QList<MediaItem>& result) {
    if (!folder.children)
        return;
    for (const MediaItem& child : *folder.children) {
        if (child.isDirectory)
            appendAudioFiles(child, result);
        else if (isAudioFileName(child.id()))
            result.append(child);
    }
}

static qsizetype countFiles(const MediaItem& folder) {
    qsizetype count = 0;
    if (folder.children) {
        for (const MediaItem& child : *folder.children)
            count += child.isDirectory ? countFiles(child) : 1;
    }
    return count;
}

QList<MediaItem> flattenAudioFiles(const MediaItem& folder) {
    // Reserved up front: growing a list of 100,000 items step by step costs
    // more than walking the tree twice.
    QList<MediaItem> result;
    result.reserve(countFiles(folder));
    appendAudioFiles(folder, result);
    return result;
}

template <typename Match>
static const MediaItem* findFirst(const QList<MediaItem>& items, const Match& match) {
    for (const MediaItem& item : items) {
        if (match(item))
            return &item;
        if (item.children) {
            if (const MediaItem* found = findFirst(*item.children, match))
                return found;
        }
    }
    return nullptr;
}

static std::optional<MediaItem> copyOf(const MediaItem* item) {
    return item ? std::optional<MediaItem>(*item) : std::nullopt;
}

// A scanned folder's descendants have ids that extend its own, so the path
// to `id` runs only through folders whose id begins it: a few hundred
// comparisons instead of one per node of the library.
static const MediaItem* findAlongPath(const QList<MediaItem>& items, const QString& id) {
    for (const MediaItem& item : items) {
        if (!id.startsWith(item.id()))
            continue;
        if (item.id().size() == id.size())
            return &item;
        if (item.children) {
            if (const MediaItem* found = findAlongPath(*item.children, id))
                return found;
        }
    }
    return nullptr;
}

std::optional<MediaItem> findItem(const QList<MediaItem>& items, const QString& id) {
    if (const MediaItem* found = findAlongPath(items, id))
        return *found;
    // A tree put together otherwise need not nest its ids.
    return copyOf(findFirst(items, [&](const MediaItem& item) { return item.id() == id; }));
}

static QStringView withoutTrailingSlash(QStringView text) {
    while (text.size() > 1 && text.endsWith(QLatin1Char('/')) && !text.endsWith(u":///"))
        text.chop(1);
    return text;
}

std::optional<MediaItem> findItemByPath(const QList<MediaItem>& items, const QString& path) {
    // Ids are the fully encoded form of a local path, so the wanted path is
    // encoded once instead of decoding every node's id.
    const QString wanted = absoluteString(QUrl::fromLocalFile(path));
    const QStringView key = withoutTrailingSlash(wanted);
    return copyOf(findFirst(
        items, [&](const MediaItem& item) { return withoutTrailingSlash(item.id()) == key; }));
}

std::optional<MediaItem> findItemByPath(const QList<MediaItem>& items, const QUrl& url) {
    return findItemByPath(items, normalizedPath(url));
}

static const MediaItem* findParent(const QList<MediaItem>& items, const QString& childId) {
    for (const MediaItem& item : items) {
        if (!item.isDirectory || !item.children)
            continue;
        for (const MediaItem& child : *item.children) {
            if (child.id() == childId)
                return &item;
        }
        if (const MediaItem* found = findParent(*item.children, childId))
            return found;
    }
    return nullptr;
}

std::optional<MediaItem> findParentFolder(const QList<MediaItem>& items, const QUrl& url) {
    return copyOf(findParent(items, absoluteString(url)));
}
