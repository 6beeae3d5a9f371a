// The upcoming queue seen as folder groups, and the drag-and-drop edits on it.
#include "app/medialibraryviewmodel.h"
#include "playback/queueentries.h"

#include <QSet>
#include <algorithm>

namespace {

// The entries after the current one, up to the end of the queue.
struct QueueSplit {
    QList<MediaItem> head; // up to and including the current entry
    QList<MediaItem> tail;
};

QueueSplit splitAfter(const QList<MediaItem>& queue, int index) {
    const qsizetype cut = queue.isEmpty() ? 0 : index + 1;
    return {queue.first(cut), queue.sliced(cut)};
}

// Position in `tail` of the first entry of `folder`, after the leading run of
// entries of the current folder; the end when there is none.
qsizetype groupStart(const QList<MediaItem>& tail, const QString& currentFolder,
                     const QString& folder) {
    qsizetype i = 0;
    while (i < tail.size() && entryFolder(tail[i]) == currentFolder)
        ++i;
    for (; i < tail.size(); ++i) {
        if (entryFolder(tail[i]) == folder)
            return i;
    }
    return tail.size();
}

} // namespace

void MediaLibraryViewModel::watchUpcomingFolderGroups() {
    for (auto changed : {&MediaLibraryViewModel::playbackQueueChanged,
                         &MediaLibraryViewModel::currentQueueIndexChanged,
                         &MediaLibraryViewModel::selectedFileChanged})
        connect(this, changed, this, &MediaLibraryViewModel::upcomingFolderGroupsChanged);
}

QList<MediaItem> MediaLibraryViewModel::upcomingFolderGroups() const {
    if (!m_selectedFile)
        return {};
    const QString currentFolder = entryFolder(*m_selectedFile);
    const int index = m_currentQueueIndex;
    const bool inside = index >= 0 && index < m_playbackQueue.size();
    const QList<MediaItem> upcoming = inside ? m_playbackQueue.sliced(index + 1) : m_playbackQueue;

    qsizetype i = 0;
    while (i < upcoming.size() && entryFolder(upcoming[i]) == currentFolder)
        ++i;
    QList<MediaItem> groups;
    QSet<QString> seen;
    for (; i < upcoming.size(); ++i) {
        const QString folder = entryFolder(upcoming[i]);
        if (seen.contains(folder))
            continue;
        seen.insert(folder);
        groups.append(upcoming[i]);
    }
    return groups;
}

QVariantList MediaLibraryViewModel::upcomingFolderGroupList() const {
    QVariantList list;
    for (const MediaItem& entry : upcomingFolderGroups())
        list.append(QVariant::fromValue(entry));
    return list;
}

void MediaLibraryViewModel::moveFolderGroups(QList<int> offsets, int destination) {
    const QList<MediaItem> groups = upcomingFolderGroups();
    std::sort(offsets.begin(), offsets.end());
    QSet<QString> movedFolders;
    for (int offset : offsets) {
        if (offset >= 0 && offset < groups.size())
            movedFolders.insert(entryFolder(groups[offset]));
    }
    if (!m_selectedFile)
        return;

    QueueSplit queue = splitAfter(m_playbackQueue, queueIndexInsideQueue());
    QList<MediaItem> moved;
    QList<MediaItem> remaining;
    for (const MediaItem& entry : std::as_const(queue.tail))
        (movedFolders.contains(entryFolder(entry)) ? moved : remaining).append(entry);

    qsizetype insertion = remaining.size();
    if (destination >= 0 && destination < groups.size()) {
        const QString folder = entryFolder(groups[destination]);
        const auto first =
            std::find_if(remaining.cbegin(), remaining.cend(),
                         [&](const MediaItem& e) { return entryFolder(e) == folder; });
        insertion = first - remaining.cbegin();
    }
    for (qsizetype i = 0; i < moved.size(); ++i)
        remaining.insert(insertion + i, moved[i]);
    setPlaybackQueue(queue.head + remaining);
    refreshNextPlayerItem();
}

void MediaLibraryViewModel::insertItems(const QStringList& ids, int group) {
    const QList<MediaItem> groups = upcomingFolderGroups();
    if (!m_selectedFile)
        return;
    QueueSplit queue = splitAfter(m_playbackQueue, queueIndexInsideQueue());

    qsizetype insertion = queue.tail.size();
    if (group >= 0 && group < groups.size())
        insertion =
            groupStart(queue.tail, entryFolder(*m_selectedFile), entryFolder(groups[group]));

    QList<MediaItem> files;
    for (const QString& id : ids) {
        // Dropped ids of files deleted since the drag began are skipped.
        if (const std::optional<MediaItem> item = findItem(id))
            files += expandedFiles(*item);
    }
    for (qsizetype i = 0; i < files.size(); ++i)
        queue.tail.insert(insertion + i, files[i]);
    setPlaybackQueue(queue.head + queue.tail);
    refreshNextPlayerItem();
}
