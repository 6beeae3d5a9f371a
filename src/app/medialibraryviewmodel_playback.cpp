// Loading files into the player and following what the player does.
#include "app/appnotifications.h"
#include "app/medialibraryviewmodel.h"
#include "app/usersettings.h"
#include "base/console.h"
#include "library/filetypes.h"
#include "library/mediaitemtree.h"
#include "playback/durationloader.h"
#include "playback/filepresence.h"

#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

const QString lastSelectedFileKey = QStringLiteral("LastSelectedFilePath");
const QString unknownArtist = QStringLiteral("Unknown Artist");
constexpr int downloadPollIntervalMs = 1000;

bool isKnownDuration(double seconds) {
    return std::isfinite(seconds) && seconds > 0;
}

// Where the loaded item stands in the play list. The current position wins
// when it holds the item, so that a file queued twice continues with the
// entry after the occurrence being played, not after its first one.
qsizetype playListPosition(const QList<MediaItem>& list, int currentIndex, const QString& id) {
    if (currentIndex >= 0 && currentIndex < list.size() && list[currentIndex].id() == id)
        return currentIndex;
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list[i].id() == id)
            return i;
    }
    return -1;
}

} // namespace

const QList<MediaItem>& MediaLibraryViewModel::playList() const {
    return m_playbackQueue.isEmpty() ? m_flattenedFiles : m_playbackQueue;
}

void MediaLibraryViewModel::setPlayerFactory(PlayerFactory factory) {
    m_playerFactory = std::move(factory);
}

PlayerItem* MediaLibraryViewModel::makePlayerItem(const QUrl& url) {
    auto* item = new PlayerItem(url);
    // An item may fail long before it plays (it is opened ahead); it is
    // skipped once it is the current item of the playing player.
    connect(
        item, &PlayerItem::statusChanged, this,
        [this](PlayerItem::Status status) {
            if (status == PlayerItem::Status::Failed)
                skipFailedItem();
        },
        Qt::QueuedConnection);
    return item;
}

void MediaLibraryViewModel::loadFile(const MediaItem& item, bool autoPlay) {
    printLine(QStringLiteral("Attempting to load file: ") + item.name() +
              QStringLiteral(", autoPlay: ") +
              (autoPlay ? QStringLiteral("true") : QStringLiteral("false")));
    if (!isAudioFileName(item.id())) {
        printLine(QStringLiteral("File is not audio"));
        return;
    }
    const MediaItem file = item; // `item` may live in a list that the steps below replace
    const QUrl url = file.url();

    if (!m_selectedFile || m_selectedFile->id() != file.id()) {
        setSelectedFile(file);
        setSelectedFileID(file.id());
        userSettings().setValue(lastSelectedFileKey, file.path());
    }
    selectContainingFolder(file);
    removeTimeObserver();
    dropPlayerObservers();

    setIsLoading(true);
    setCurrentTitle(file.name());
    setCurrentArtist(unknownArtist);
    m_progress->setDuration(0);
    m_progress->setCurrentTime(0);

    checkDownloadStatus(url);
    if (m_isDownloading || !loadCurrentArtwork(url))
        setCurrentArtwork(QImage());

    QList<PlayerItem*> items{makePlayerItem(url)};
    const QList<MediaItem>& list = playList();
    const qsizetype position = playListPosition(list, m_currentQueueIndex, file.id());
    if (position >= 0 && position + 1 < list.size()) {
        const MediaItem& next = list[position + 1];
        items.append(makePlayerItem(next.url()));
        printLine(QStringLiteral("Enqueued next track: ") + next.name());
    }
    PlayerItem* firstItem = items.first();

    if (m_player) {
        m_player->pause();
        m_player->removeAllItems();
    }
    std::unique_ptr<QueuePlayer> player =
        m_playerFactory ? m_playerFactory(items) : makeQueuePlayer(items);
    if (player)
        player->setVolume(m_volume);
    else
        qDeleteAll(items);
    setPlayer(std::move(player));

    m_autoPlayPending = autoPlay;
    loadDuration(file, autoPlay);
    addTimeObserver();
    observePlayer(m_player.get(), m_player ? firstItem : nullptr);
    checkDownloadStatus(url);
    restartDownloadPoll(url);
    loadTrackInfo(file);
    loadWaveform(file);
}

void MediaLibraryViewModel::loadDuration(const MediaItem& item, bool autoPlay) {
    const QString id = item.id();
    // A pause the user pressed while the duration loaded wins over the auto-play.
    auto autoPlayNow = [this, autoPlay] {
        const bool play = autoPlay && m_autoPlayPending;
        m_autoPlayPending = false;
        if (play && m_player)
            m_player->play();
        return play;
    };
    loadAssetDurationAsync(item.url(), this, [this, id, autoPlayNow](const AssetDuration& result) {
        if (!result.ok()) {
            printLine(QStringLiteral("Failed to load duration: ") + result.error);
            autoPlayNow();
            return;
        }
        if (!m_selectedFile || m_selectedFile->id() != id)
            return; // the user has moved on to another file
        m_progress->setDuration(result.seconds);
        if (autoPlayNow())
            printLine(QStringLiteral("Player initialized and play called (duration loaded)"));
    });
}

void MediaLibraryViewModel::observePlayer(QueuePlayer* player, PlayerItem* firstItem) {
    if (!player)
        return;
    // Handlers run as queued calls; one arriving after the next load belongs to
    // a discarded player and is ignored.
    const QPointer<QueuePlayer> watched(player);
    auto whileCurrent = [this, watched](auto handler) {
        return [this, watched, handler] {
            if (watched && watched == m_player.get())
                handler();
        };
    };
    const auto queued = Qt::QueuedConnection;
    // The item is taken as the signal names it: by the time the handler runs
    // a short track may have ended and the player moved on.
    m_itemObserver = connect(
        player, &QueuePlayer::currentItemChanged, this,
        [this, watched](PlayerItem* item) {
            std::optional<QUrl> url;
            if (item)
                url = item->url();
            QMetaObject::invokeMethod(
                this, [this, watched, url] { handleCurrentItemChange(watched, url); }, queued);
        },
        Qt::DirectConnection);
    m_rateObserver = connect(player, &QueuePlayer::rateChanged, this, whileCurrent([this] {
                                 updateNowPlayingInfo();
                                 updateSleepPrevention();
                                 skipFailedItem();
                             }),
                             queued);
    m_statusObserver = connect(player, &QueuePlayer::timeControlStatusChanged, this,
                               whileCurrent([this] { updateBufferingState(); }), queued);
    if (!firstItem)
        return;
    const QPointer<PlayerItem> item(firstItem);
    m_bufferEmptyObserver = connect(firstItem, &PlayerItem::playbackBufferEmptyChanged, this,
                                    whileCurrent([this] { updateBufferingState(); }), queued);
    m_keepUpObserver = connect(firstItem, &PlayerItem::playbackLikelyToKeepUpChanged, this,
                               whileCurrent([this] { updateBufferingState(); }), queued);
    m_itemStatusObserver =
        connect(firstItem, &PlayerItem::statusChanged, this, whileCurrent([this, item] {
                    updateBufferingState();
                    if (!item || item->status() != PlayerItem::Status::ReadyToPlay)
                        return;
                    const double seconds = item->duration();
                    if (!isKnownDuration(seconds))
                        return;
                    m_progress->setDuration(seconds);
                    printLine(QStringLiteral("PlayerItem ready: Updated duration to ") +
                              floatText(seconds));
                }),
                queued);
    m_durationObserver = connect(
        firstItem, &PlayerItem::durationChanged, this,
        [this, watched](double seconds) {
            if (watched && watched == m_player.get() && isKnownDuration(seconds))
                m_progress->setDuration(seconds);
        },
        queued);
}

void MediaLibraryViewModel::dropPlayerObservers() {
    disconnect(m_itemObserver);
    m_itemObserver = {};
    disconnect(m_rateObserver);
    m_rateObserver = {};
    stopDownloadPoll();
    for (QMetaObject::Connection* observer :
         {&m_statusObserver, &m_bufferEmptyObserver, &m_keepUpObserver, &m_itemStatusObserver,
          &m_durationObserver}) {
        disconnect(*observer);
        *observer = {};
    }
}

void MediaLibraryViewModel::handleCurrentItemChange(QueuePlayer* sender,
                                                    const std::optional<QUrl>& url) {
    if (!sender || sender != m_player.get())
        return;
    if (!url)
        return; // the last item ended: selection and index stay on it
    std::optional<MediaItem> entry;
    for (const MediaItem& candidate : playList()) {
        if (candidate.url() == *url) {
            entry = candidate;
            break;
        }
    }
    if (!entry && m_rootFolder)
        entry = findItemByPath({*m_rootFolder}, *url);
    if (entry)
        handleTrackChange(*entry);
    skipFailedItem();
}

void MediaLibraryViewModel::handleTrackChange(const MediaItem& item) {
    const MediaItem file = item;
    printLine(QStringLiteral("Gapless transition to: ") + file.name());
    setSelectedFile(file);
    setSelectedFileID(file.id());
    userSettings().setValue(lastSelectedFileKey, file.path());
    selectContainingFolder(file);

    setCurrentTitle(file.name());
    setCurrentArtist(unknownArtist);
    m_progress->setDuration(0);
    if (!loadCurrentArtwork(file.url()))
        setCurrentArtwork(QImage());
    loadTrackInfo(file);
    loadWaveform(file);
    loadAssetDurationAsync(file.url(), this, [this](const AssetDuration& result) {
        if (result.ok())
            m_progress->setDuration(result.seconds);
        else // a file that cannot play says why, as a load does
            printLine(QStringLiteral("Failed to load duration: ") + result.error);
    });

    // The queue position follows the player; the next entry normally is the one.
    const int index = m_currentQueueIndex;
    if (index + 1 >= 0 && index + 1 < m_playbackQueue.size() &&
        m_playbackQueue[index + 1].id() == file.id()) {
        setCurrentQueueIndex(index + 1);
    } else {
        const auto found =
            std::find_if(m_playbackQueue.cbegin(), m_playbackQueue.cend(),
                         [&](const MediaItem& entry) { return entry.id() == file.id(); });
        setCurrentQueueIndex(found != m_playbackQueue.cend()
                                 ? static_cast<int>(found - m_playbackQueue.cbegin())
                                 : index);
    }

    const int next = m_currentQueueIndex + 1;
    if (next >= 0 && next < m_playbackQueue.size()) {
        const MediaItem following = m_playbackQueue[next];
        PlayerItem* playerItem = makePlayerItem(following.url());
        // No items left: the track was so short that the player played past
        // it before this ran; the following one then starts at once.
        const qsizetype held = m_player ? m_player->items().size() : -1;
        if ((held == 1 || held == 0) && m_player->canInsert(playerItem)) {
            m_player->insert(playerItem);
            printLine(QStringLiteral("Enqueued subsequent track: ") + following.name());
            if (held == 0)
                m_player->play();
        } else {
            delete playerItem;
        }
    }
    emit AppNotifications::shared().playerTrackChanged();
}

void MediaLibraryViewModel::checkDownloadStatus(const QUrl& url) {
    switch (filePresence(url.toLocalFile())) {
    case FilePresence::Missing:
    case FilePresence::Placeholder:
        if (!m_isDownloading) {
            setIsDownloading(true);
            updateBufferingState();
        }
        return;
    case FilePresence::Present:
        break;
    }
    // No cloud provider manages local files: the file is not downloading and
    // has no download status, so polling goes on until the next load.
    if (m_isDownloading) {
        setIsDownloading(false);
        updateBufferingState();
    }
}

void MediaLibraryViewModel::updateBufferingState() {
    if (!m_player)
        return;
    const PlayerItem* item = m_player->currentItem();
    setIsBuffering(m_player->timeControlStatus() ==
                       QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate ||
                   (item && item->isPlaybackBufferEmpty()) || !item ||
                   item->status() != PlayerItem::Status::ReadyToPlay || !item->error().isEmpty() ||
                   m_isDownloading);
}

void MediaLibraryViewModel::togglePlayPause() {
    if (!m_player)
        return;
    // A track about to start, by itself or once its first frames are in,
    // counts as playing: the press pauses it rather than asking again to play.
    if (m_player->timeControlStatus() != QueuePlayer::TimeControlStatus::Paused ||
        m_autoPlayPending) {
        m_autoPlayPending = false;
        m_player->pause();
    } else {
        m_player->play();
    }
    updateNowPlayingInfo();
}

void MediaLibraryViewModel::skipFailedItem() {
    if (!m_player || m_player->rate() <= 0)
        return;
    const PlayerItem* current = m_player->currentItem();
    if (!current || current->status() != PlayerItem::Status::Failed)
        return;
    const QList<MediaItem>& list = playList();
    qsizetype position = -1;
    if (m_selectedFile && m_selectedFile->url() == current->url()) {
        position = playListPosition(list, m_currentQueueIndex, m_selectedFile->id());
    } else {
        const auto found = std::find_if(list.cbegin(), list.cend(), [&](const MediaItem& entry) {
            return entry.url() == current->url();
        });
        position = found != list.cend() ? found - list.cbegin() : -1;
    }
    if (position < 0 || position + 1 >= list.size()) {
        // Nothing left to play: the player stops, releasing sleep prevention.
        m_player->pause();
        return;
    }
    // The next entry is tried as the next-track command would; if it fails
    // too, this runs again for it.
    const MediaItem next = list[position + 1];
    setCurrentQueueIndex(static_cast<int>(position + 1));
    loadFile(next, true);
}

void MediaLibraryViewModel::selectContainingFolder(const MediaItem& item) {
    if (!m_rootFolder)
        return;
    const std::optional<MediaItem> folder = findParentFolder({*m_rootFolder}, item.url());
    if (!folder)
        return;
    if (!m_selectedFolder || m_selectedFolder->id() != folder->id()) {
        setSelectedFolder(*folder);
        setSelectedFolderID(folder->id());
    }
}

void MediaLibraryViewModel::restartDownloadPoll(const QUrl& url) {
    stopDownloadPoll();
    m_downloadPollTimer = new QTimer(this);
    m_downloadPollTimer->setInterval(downloadPollIntervalMs);
    connect(m_downloadPollTimer, &QTimer::timeout, this, [this, url] { checkDownloadStatus(url); });
    m_downloadPollTimer->start();
}

void MediaLibraryViewModel::stopDownloadPoll() {
    if (!m_downloadPollTimer)
        return;
    m_downloadPollTimer->stop();
    m_downloadPollTimer->deleteLater(); // it may be the timer whose tick is running
    m_downloadPollTimer = nullptr;
}
