// Editing the playback queue and moving through it.
//
// Every assignment of playbackQueue or currentQueueIndex stores the queue, so
// the order of the assignments below is the order in which the file is written.
#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/filetypes.h"
#include "playback/queueentries.h"

#include <QTimer>

namespace {

QList<MediaItem> insertedAt(QList<MediaItem> queue, qsizetype position,
                            const QList<MediaItem>& entries) {
    for (qsizetype i = 0; i < entries.size(); ++i)
        queue.insert(position + i, entries[i]);
    return queue;
}

} // namespace

// A stored queue may come back with an index outside it. Inserting or
// splitting there would lose entries, so the index is first pulled into the queue.
int MediaLibraryViewModel::queueIndexInsideQueue() {
    if (!m_playbackQueue.isEmpty()) {
        const int inside = clampedIndex(m_currentQueueIndex, m_playbackQueue.size());
        if (inside != m_currentQueueIndex)
            setCurrentQueueIndex(inside);
    }
    return m_currentQueueIndex;
}

void MediaLibraryViewModel::playItem(const MediaItem& item, int index, bool insertAfterCurrent) {
    const MediaItem file = item;
    if (insertAfterCurrent) {
        const int position = m_playbackQueue.isEmpty() ? 0 : queueIndexInsideQueue() + 1;
        setPlaybackQueue(insertedAt(m_playbackQueue, position, {file}));
        index = position;
    }
    setCurrentQueueIndex(index);
    loadFile(file, true);
}

void MediaLibraryViewModel::playFolder(const MediaItem& folder) {
    const MediaItem chosen = folder;
    if (!m_selectedFolder || m_selectedFolder->id() != chosen.id())
        setSelectedFolder(chosen);
    const QList<MediaItem> files = expandedFiles(chosen);
    if (files.isEmpty())
        return;
    if (m_flattenedFiles.isEmpty() || m_flattenedFiles.first().id() != files.first().id())
        setFlattenedFiles(files);

    const int position = m_playbackQueue.isEmpty() ? 0 : queueIndexInsideQueue() + 1;
    setPlaybackQueue(insertedAt(m_playbackQueue, position, files));
    setCurrentQueueIndex(position);
    loadFile(files.first(), true);

    // The file list re-selects its row once the folder's files are shown.
    QTimer::singleShot(0, this, [this, id = files.first().id()] { setSelectedFileID(id); });
}

void MediaLibraryViewModel::playNext(const MediaItem& item) {
    const MediaItem chosen = item;
    if (!m_selectedFile) {
        if (!chosen.isDirectory) {
            playItem(chosen, 0, true);
        } else if (const QList<MediaItem> files = expandedFiles(chosen); !files.isEmpty()) {
            playItem(files.first(), 0, true);
        }
        return;
    }
    if (m_playbackQueue.isEmpty())
        setPlaybackQueue(m_flattenedFiles);
    const int position = m_playbackQueue.isEmpty() ? 0 : queueIndexInsideQueue() + 1;
    setPlaybackQueue(insertedAt(m_playbackQueue, position, expandedFiles(chosen)));
    refreshNextPlayerItem();
}

void MediaLibraryViewModel::playNow(const MediaItem& item) {
    const QList<MediaItem> files = expandedFiles(item);
    if (files.isEmpty())
        return;
    if (m_playbackQueue.isEmpty())
        setPlaybackQueue(m_flattenedFiles);
    // Before the current entry, which then follows the new ones.
    const int position = m_playbackQueue.isEmpty() ? 0 : queueIndexInsideQueue();
    setPlaybackQueue(insertedAt(m_playbackQueue, position, files));
    setCurrentQueueIndex(position);
    loadFile(files.first(), true);
}

void MediaLibraryViewModel::addToQueue(const MediaItem& item) {
    const MediaItem chosen = item;
    if (m_playbackQueue.isEmpty()) {
        if (!m_selectedFile) {
            setPlaybackQueue(m_flattenedFiles);
        } else {
            // The queue starts at the loaded file, which is then its first entry.
            const QString loadedId = m_selectedFile->id();
            const auto loaded =
                std::find_if(m_flattenedFiles.cbegin(), m_flattenedFiles.cend(),
                             [&](const MediaItem& file) { return file.id() == loadedId; });
            setPlaybackQueue(loaded != m_flattenedFiles.cend()
                                 ? m_flattenedFiles.mid(loaded - m_flattenedFiles.cbegin())
                                 : QList<MediaItem>{*m_selectedFile});
            setCurrentQueueIndex(0);
        }
    }
    if (chosen.isDirectory)
        setPlaybackQueue(m_playbackQueue + expandedFiles(chosen));
    else if (isAudioFileName(chosen.id()))
        setPlaybackQueue(m_playbackQueue + QList<MediaItem>{chosen});
    refreshNextPlayerItem();
}

void MediaLibraryViewModel::clearQueue() {
    const int index = m_currentQueueIndex;
    QList<MediaItem> kept;
    if (index >= 0 && index < m_playbackQueue.size())
        kept.append(m_playbackQueue[index]);
    setPlaybackQueue(kept);
    setCurrentQueueIndex(0);
    MediaCacheManager::shared().saveQueue(kept, 0);

    // The current track plays on with nothing after it.
    if (!m_player)
        return;
    const QList<PlayerItem*> items = m_player->items();
    for (qsizetype i = 1; i < items.size(); ++i)
        m_player->remove(items[i]);
}

void MediaLibraryViewModel::nextTrack() {
    if (!m_selectedFile)
        return;
    const int next = m_currentQueueIndex + 1;
    const QList<MediaItem>& list = playList();
    if (next < 0 || next >= list.size())
        return;
    const MediaItem file = list[next];
    setCurrentQueueIndex(next);
    loadFile(file, true);
}

void MediaLibraryViewModel::previousTrack() {
    constexpr double restartAfterSeconds = 2.0;
    if (m_progress->currentTime() > restartAfterSeconds) {
        seek(0);
        return;
    }
    if (!m_selectedFile)
        return;
    const int previous = m_currentQueueIndex - 1;
    const QList<MediaItem>& list = playList();
    if (previous < 0 || previous >= list.size())
        return;
    const MediaItem file = list[previous];
    setCurrentQueueIndex(previous);
    loadFile(file, true);
}

void MediaLibraryViewModel::refreshNextPlayerItem() {
    if (!m_selectedFile || !m_player)
        return;
    const QList<MediaItem>& list = playList();
    const int next = m_currentQueueIndex + 1;
    const bool hasWanted = next >= 0 && next < list.size();
    const QList<PlayerItem*> items = m_player->items();
    PlayerItem* second = items.size() >= 2 ? items[1] : nullptr;
    if (!hasWanted) {
        if (second)
            m_player->remove(second);
        return;
    }
    const QUrl wanted = list[next].url();
    if (second && second->url() == wanted)
        return;
    if (second)
        m_player->remove(second);
    PlayerItem* item = makePlayerItem(wanted);
    if (m_player->canInsert(item))
        m_player->insert(item);
    else
        delete item;
}

// ---- Forms taking ids ------------------------------------------------------

bool MediaLibraryViewModel::playItemByID(const QString& id) {
    const std::optional<MediaItem> item = findItem(id);
    if (item)
        playItem(*item, 0, true);
    return item.has_value();
}

bool MediaLibraryViewModel::playFolderByID(const QString& id) {
    const std::optional<MediaItem> item = findItem(id);
    if (item)
        playFolder(*item);
    return item.has_value();
}

bool MediaLibraryViewModel::playNextByID(const QString& id) {
    const std::optional<MediaItem> item = findItem(id);
    if (item)
        playNext(*item);
    return item.has_value();
}

bool MediaLibraryViewModel::playNowByID(const QString& id) {
    const std::optional<MediaItem> item = findItem(id);
    if (item)
        playNow(*item);
    return item.has_value();
}

bool MediaLibraryViewModel::addToQueueByID(const QString& id) {
    const std::optional<MediaItem> item = findItem(id);
    if (item)
        addToQueue(*item);
    return item.has_value();
}
