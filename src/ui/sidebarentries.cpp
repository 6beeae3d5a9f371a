#include "ui/sidebarentries.h"

#include <utility>

namespace {

bool isAudioFolder(const MediaItem& item) {
    return item.isDirectory && item.containsAudio;
}

struct Walk {
    const QSet<QString>& expanded;
    bool all;
    QList<SidebarEntry>& out;

    // Deeper levels list only folders that contain audio.
    void expand(const QList<MediaItem>& items, int depth, bool topLevel) {
        for (const MediaItem& item : items) {
            if (!topLevel && !isAudioFolder(item))
                continue;
            out.append({&item, depth});
            if (item.isDirectory && item.children && hasAudioSubfolders(item) &&
                (all || expanded.contains(item.id())))
                expand(std::as_const(*item.children), depth + 1, false);
        }
    }
};

} // namespace

bool hasAudioSubfolders(const MediaItem& item) {
    if (!item.children)
        return false;
    for (const MediaItem& child : std::as_const(*item.children)) {
        if (isAudioFolder(child))
            return true;
    }
    return false;
}

namespace {

QList<SidebarEntry> walk(const MediaItem* root, const QSet<QString>& expandedIDs, bool all) {
    QList<SidebarEntry> entries;
    if (root && root->children)
        Walk{expandedIDs, all, entries}.expand(std::as_const(*root->children), 0, true);
    return entries;
}

} // namespace

QList<SidebarEntry> sidebarEntries(const MediaItem* root, const QSet<QString>& expandedIDs,
                                   const QString& searchText) {
    if (searchText.isEmpty())
        return walk(root, expandedIDs, false);
    QList<SidebarEntry> entries = allSidebarEntries(root);
    entries.removeIf([&searchText](const SidebarEntry& entry) {
        return !displayName(*entry.item).contains(searchText, Qt::CaseInsensitive);
    });
    return entries;
}

QList<SidebarEntry> allSidebarEntries(const MediaItem* root) {
    return walk(root, {}, true);
}

QString displayName(const MediaItem& item) {
    QStringView id(item.id());
    while (id.size() > 1 && id.endsWith(QLatin1Char('/')))
        id.chop(1);
    const QStringView last = id.mid(id.lastIndexOf(QLatin1Char('/')) + 1);
    if (!last.contains(QLatin1Char('%')))
        return last.toString();
    return QUrl::fromPercentEncoding(last.toLatin1());
}

double sidebarArtworkSize(bool grid, bool large, int depth) {
    const double base = grid ? (large ? 200 : 120) : (large ? 60 : 40);
    return depth > 0 ? base * 0.8 : base;
}
