#pragma once

#include "app/playerprogress.h"
#include "library/mediaitem.h"
#include "audio/queueplayer.h"

#include <QImage>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class MprisService;
class NowPlayingArtwork;
class FolderMonitor;
class QTimer;
struct RemoteCommands;

// The one state object of the program. Views read its properties and call its
// operations; everything runs on the GUI thread. Every assignment of a
// property notifies, also when the value is unchanged.
//
// The operations of each area live in their own source file
// (medialibraryviewmodel_<area>.cpp) next to the state defined here.
class MediaLibraryViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant rootFolder READ rootFolderVariant NOTIFY rootFolderChanged)
    Q_PROPERTY(QStringList expandedFolderIDs READ expandedFolderIDList WRITE setExpandedFolderIDList
                   NOTIFY expandedFolderIDsChanged)
    Q_PROPERTY(QVariant selectedFolder READ selectedFolderVariant NOTIFY selectedFolderChanged)
    Q_PROPERTY(QString selectedFolderID READ selectedFolderIDText NOTIFY selectedFolderIDChanged)
    Q_PROPERTY(QList<MediaItem> flattenedFiles READ flattenedFiles NOTIFY flattenedFilesChanged)
    Q_PROPERTY(QVariant selectedFile READ selectedFileVariant NOTIFY selectedFileChanged)
    Q_PROPERTY(QString selectedFileID READ selectedFileIDText NOTIFY selectedFileIDChanged)
    Q_PROPERTY(QList<MediaItem> playbackQueue READ playbackQueue NOTIFY playbackQueueChanged)
    Q_PROPERTY(int currentQueueIndex READ currentQueueIndex NOTIFY currentQueueIndexChanged)
    Q_PROPERTY(QueuePlayer* player READ player NOTIFY playerChanged)
    Q_PROPERTY(QString currentTitle READ currentTitleText NOTIFY currentTitleChanged)
    Q_PROPERTY(QString currentArtist READ currentArtistText NOTIFY currentArtistChanged)
    Q_PROPERTY(QImage currentArtwork READ currentArtwork NOTIFY currentArtworkChanged)
    Q_PROPERTY(QString currentBitDepth READ currentBitDepthText NOTIFY currentBitDepthChanged)
    Q_PROPERTY(QString currentSampleRate READ currentSampleRateText NOTIFY currentSampleRateChanged)
    Q_PROPERTY(QString currentFilesize READ currentFilesizeText NOTIFY currentFilesizeChanged)
    Q_PROPERTY(QString currentFileType READ currentFileTypeText NOTIFY currentFileTypeChanged)
    Q_PROPERTY(QString currentYear READ currentYearText NOTIFY currentYearChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(PlayerProgress* progress READ progress CONSTANT)
    Q_PROPERTY(QList<float> waveformSamples READ waveformSamples NOTIFY waveformSamplesChanged)
    Q_PROPERTY(bool showError READ showError WRITE setShowError NOTIFY showErrorChanged)
    Q_PROPERTY(
        QString errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(bool showPermissionAlert READ showPermissionAlert WRITE setShowPermissionAlert NOTIFY
                   showPermissionAlertChanged)
    Q_PROPERTY(bool isFullscreenArtwork READ isFullscreenArtwork WRITE setIsFullscreenArtwork NOTIFY
                   isFullscreenArtworkChanged)
    Q_PROPERTY(bool isOLEDCareMode READ isOLEDCareMode WRITE setIsOLEDCareMode NOTIFY
                   isOLEDCareModeChanged)
    Q_PROPERTY(bool isBuffering READ isBuffering NOTIFY isBufferingChanged)
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY isDownloadingChanged)
    Q_PROPERTY(float volume READ volume WRITE setVolume NOTIFY volumeChanged)
    // upcomingFolderGroups() as a list of MediaItem values, for the queue strip.
    Q_PROPERTY(QVariantList upcomingFolderGroups READ upcomingFolderGroupList NOTIFY
                   upcomingFolderGroupsChanged)

public:
    explicit MediaLibraryViewModel(QObject* parent = nullptr);
    ~MediaLibraryViewModel() override;

    // ---- Published state -------------------------------------------------
    const std::optional<MediaItem>& rootFolder() const { return m_rootFolder; }
    void setRootFolder(std::optional<MediaItem> folder);

    const QSet<QString>& expandedFolderIDs() const { return m_expandedFolderIDs; }
    void setExpandedFolderIDs(QSet<QString> ids);

    // Side effect: selectedFolderID, flattenedFiles and "LastSelectedFolderPath".
    const std::optional<MediaItem>& selectedFolder() const { return m_selectedFolder; }
    void setSelectedFolder(std::optional<MediaItem> folder);
    const std::optional<QString>& selectedFolderID() const { return m_selectedFolderID; }
    void setSelectedFolderID(std::optional<QString> id);

    const QList<MediaItem>& flattenedFiles() const { return m_flattenedFiles; }
    void setFlattenedFiles(QList<MediaItem> files);

    const std::optional<MediaItem>& selectedFile() const { return m_selectedFile; }
    void setSelectedFile(std::optional<MediaItem> file);
    const std::optional<QString>& selectedFileID() const { return m_selectedFileID; }
    void setSelectedFileID(std::optional<QString> id);

    // Side effect of both: the queue is stored.
    const QList<MediaItem>& playbackQueue() const { return m_playbackQueue; }
    void setPlaybackQueue(QList<MediaItem> queue);
    int currentQueueIndex() const { return m_currentQueueIndex; }
    void setCurrentQueueIndex(int index);

    QueuePlayer* player() const { return m_player.get(); }
    // Replaces (and destroys) the current player.
    void setPlayer(std::unique_ptr<QueuePlayer> player);

    const std::optional<QString>& currentTitle() const { return m_currentTitle; }
    void setCurrentTitle(std::optional<QString> text);
    const std::optional<QString>& currentArtist() const { return m_currentArtist; }
    void setCurrentArtist(std::optional<QString> text);
    // A null image means no artwork. Side effect: prints the change.
    const QImage& currentArtwork() const { return m_currentArtwork; }
    void setCurrentArtwork(QImage image);
    const std::optional<QString>& currentBitDepth() const { return m_currentBitDepth; }
    void setCurrentBitDepth(std::optional<QString> text);
    const std::optional<QString>& currentSampleRate() const { return m_currentSampleRate; }
    void setCurrentSampleRate(std::optional<QString> text);
    const std::optional<QString>& currentFilesize() const { return m_currentFilesize; }
    void setCurrentFilesize(std::optional<QString> text);
    const std::optional<QString>& currentFileType() const { return m_currentFileType; }
    void setCurrentFileType(std::optional<QString> text);
    const std::optional<QString>& currentYear() const { return m_currentYear; }
    void setCurrentYear(std::optional<QString> text);

    bool isLoading() const { return m_isLoading; }
    void setIsLoading(bool loading);
    PlayerProgress* progress() const { return m_progress; }
    const QList<float>& waveformSamples() const { return m_waveformSamples; }
    void setWaveformSamples(QList<float> samples);
    bool showError() const { return m_showError; }
    void setShowError(bool show);
    QString errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const QString& message);
    bool showPermissionAlert() const { return m_showPermissionAlert; }
    void setShowPermissionAlert(bool show);
    bool isFullscreenArtwork() const { return m_isFullscreenArtwork; }
    void setIsFullscreenArtwork(bool on);
    // Side effect: stored under "isOLEDCareMode".
    bool isOLEDCareMode() const { return m_isOLEDCareMode; }
    void setIsOLEDCareMode(bool on);
    bool isBuffering() const { return m_isBuffering; }
    void setIsBuffering(bool buffering);
    bool isDownloading() const { return m_isDownloading; }
    void setIsDownloading(bool downloading);
    // Side effect: reaches the player (or the next one) and prints the change.
    float volume() const { return m_volume; }
    void setVolume(float volume);

    // Finds an item by id below rootFolder; nothing when there is no root.
    std::optional<MediaItem> findItem(const QString& id) const;

    // ---- Library: scanning, folder access, folder watch -----------------
    // (medialibraryviewmodel_library.cpp, medialibraryviewmodel_access.cpp,
    //  medialibraryviewmodel_monitor.cpp)
    // Start-up: the folder of the stored grant, with the last folder and file.
    Q_INVOKABLE void restoreLastFolder();
    Q_INVOKABLE void refreshSecurityScopeAccess();
    // Rescans the open folder in the background and installs the new tree.
    Q_INVOKABLE void refreshLibrary();
    // Asks the views for the folder chooser (folderAccessRequested).
    Q_INVOKABLE void requestFolderAccess();
    // The folder picked in the chooser: its grant is stored and it is opened.
    Q_INVOKABLE void acceptChosenFolder(const QUrl& folder);
    void saveBookmark(const QUrl& folder);
    Q_INVOKABLE void unloadFolder();
    // Shows the folder's cached tree at once, else scans it in the background.
    Q_INVOKABLE void openFolder(const QUrl& folder);
    // Installs a rescanned tree and finds the selection in it again by id.
    void applyRefreshedLibrary(MediaItem root);
    Q_INVOKABLE void rescanFolder();
    // Watches the folder's own entries; a burst of changes gives one refresh
    // refreshDebounceMs after its last change.
    void startMonitoring(const QUrl& folder);
    static constexpr int refreshDebounceMs = 2000;
    // Tests shorten the wait; set before the first change is seen.
    void setRefreshDebounceMs(int ms) { m_refreshDebounceMs = ms; }
    const std::optional<QUrl>& currentRootURL() const { return m_currentRootURL; }

signals:
    // The views show the folder chooser and call acceptChosenFolder with the pick.
    void folderAccessRequested(const QString& prompt, const QString& message);

private:
    using TreeHandler = std::function<void(MediaItem tree)>;
    // Scans off the GUI thread; `done` runs on the GUI thread while this object lives.
    void scanInBackground(const QUrl& root, TreeHandler done);
    bool isCurrentRoot(const QUrl& root) const;
    // Steps after a restored tree is in place: last folder, then last file.
    void restoreLastSelection();
    // Installs the folder's cached tree, else a scan of it, both read off the
    // GUI thread; a cached tree is then refreshed by a scan.
    void loadFolderTree(const QUrl& root, bool restoreSelection);
    void stopPlayerForUnload();
    void folderDidChange(const QString& path);
    void releaseFolderAccess();
    FolderMonitor* m_folderMonitor = nullptr;
    // The pending debounced refresh.
    QTimer* m_refreshTask = nullptr;
    int m_refreshDebounceMs = refreshDebounceMs;
    // Stops the scans under way when their result can no longer be used
    // (another folder opened, folder unloaded, view model gone).
    void cancelScans();
    std::shared_ptr<std::atomic<bool>> m_scansCancelled =
        std::make_shared<std::atomic<bool>>(false);

public:
    // ---- Playback engine, progress and seeking ---------------------------
    // (medialibraryviewmodel_playback.cpp, medialibraryviewmodel_progress.cpp)
    Q_INVOKABLE void loadFile(const MediaItem& item, bool autoPlay);
    void handleTrackChange(const MediaItem& item);
    void checkDownloadStatus(const QUrl& url);
    void updateBufferingState();
    Q_INVOKABLE void togglePlayPause();
    void selectContainingFolder(const MediaItem& item);
    // A new item without a parent; the player it is given to owns it.
    PlayerItem* makePlayerItem(const QUrl& url);
    void addTimeObserver();
    void removeTimeObserver();
    Q_INVOKABLE void seek(double seconds);
    void savePlaybackPosition();

    // What the player walks through: the queue, or the selected folder's
    // files while the queue is empty.
    const QList<MediaItem>& playList() const;
    // Builds the player of each load: the engine's unless tests put in another.
    using PlayerFactory =
        std::function<std::unique_ptr<QueuePlayer>(const QList<PlayerItem*>& items)>;
    void setPlayerFactory(PlayerFactory factory);

    // ---- Queue operations and folder groups ------------------------------
    // (medialibraryviewmodel_queue.cpp, medialibraryviewmodel_foldergroups.cpp)
    Q_INVOKABLE void playItem(const MediaItem& item, int index, bool insertAfterCurrent);
    Q_INVOKABLE void playFolder(const MediaItem& folder);
    Q_INVOKABLE void playNext(const MediaItem& item);
    Q_INVOKABLE void playNow(const MediaItem& item);
    Q_INVOKABLE void addToQueue(const MediaItem& item);
    Q_INVOKABLE void clearQueue();
    Q_INVOKABLE void nextTrack();
    Q_INVOKABLE void previousTrack();
    // One entry per folder among the entries after the current one.
    QList<MediaItem> upcomingFolderGroups() const;
    // Offsets index upcomingFolderGroups(); they are read in increasing order.
    Q_INVOKABLE void moveFolderGroups(QList<int> offsets, int destination);
    Q_INVOKABLE void insertItems(const QStringList& ids, int group);
    void refreshNextPlayerItem();
    // Forms for views that hold ids (rows, drag payloads): the item is looked
    // up in the library tree; an id that is gone does nothing and gives false.
    Q_INVOKABLE bool playItemByID(const QString& id);
    Q_INVOKABLE bool playFolderByID(const QString& id);
    Q_INVOKABLE bool playNextByID(const QString& id);
    Q_INVOKABLE bool playNowByID(const QString& id);
    Q_INVOKABLE bool addToQueueByID(const QString& id);

    // ---- Artwork, track information, waveform ----------------------------
    // (medialibraryviewmodel_artwork.cpp, medialibraryviewmodel_trackinfo.cpp,
    //  medialibraryviewmodel_waveform.cpp)
    // Sets currentArtwork for a track; returns whether an image was found.
    bool loadCurrentArtwork(const QUrl& trackUrl);
    // Saves a dropped image (file, http or https URL) as the "folder.jpg" of
    // the target folder, or of a target file's folder; returns at once.
    Q_INVOKABLE void saveArtwork(const QUrl& source, const MediaItem& target);
    void loadTrackInfo(const MediaItem& item);
    void loadWaveform(const MediaItem& item);

    // ---- System integration: media keys, now playing, sleep -------------
    // (medialibraryviewmodel_system.cpp)
    // Publishes the MPRIS service on the session bus; without a bus the
    // program runs on without it.
    void setupRemoteCommands();
    void updateNowPlayingInfo();
    Q_INVOKABLE void updateSleepPrevention();
    // The service that carries the now-playing record and the media keys.
    MprisService* nowPlayingService() const { return m_nowPlayingService; }

private:
    RemoteCommands remoteCommandHandlers();
    // Plays a library file as a click would, a library folder as a double click.
    bool openUrl(const QUrl& url, QString* error);
    // Refreshes the record when the track information changes under it.
    void followNowPlayingSources();
    MprisService* m_nowPlayingService = nullptr;
    NowPlayingArtwork* m_nowPlayingArtwork = nullptr;

signals:
    void rootFolderChanged();
    void expandedFolderIDsChanged();
    void selectedFolderChanged();
    void selectedFolderIDChanged();
    void flattenedFilesChanged();
    void selectedFileChanged();
    void selectedFileIDChanged();
    void playbackQueueChanged();
    void currentQueueIndexChanged();
    void playerChanged();
    void currentTitleChanged();
    void currentArtistChanged();
    void currentArtworkChanged();
    void currentBitDepthChanged();
    void currentSampleRateChanged();
    void currentFilesizeChanged();
    void currentFileTypeChanged();
    void currentYearChanged();
    void isLoadingChanged();
    void waveformSamplesChanged();
    void showErrorChanged();
    void errorMessageChanged();
    void showPermissionAlertChanged();
    void isFullscreenArtworkChanged();
    void isOLEDCareModeChanged();
    void isBufferingChanged();
    void isDownloadingChanged();
    void volumeChanged();
    // The queue, its index or the loaded file changed.
    void upcomingFolderGroupsChanged();

private:
    // Start-up in order; see the constructor.
    void restoreStoredState();
    void installApplicationObservers();

    // Playback and queue helpers (medialibraryviewmodel_playback.cpp,
    // medialibraryviewmodel_queue.cpp, medialibraryviewmodel_foldergroups.cpp).
    void observePlayer(QueuePlayer* player, PlayerItem* firstItem);
    void dropPlayerObservers();
    // `url`: the item the player announced as current, none when it ran out.
    void handleCurrentItemChange(QueuePlayer* sender, const std::optional<QUrl>& url);
    // The playing player's current item cannot be read: moves on to the next
    // entry of the play list, or pauses when there is none.
    void skipFailedItem();
    void loadDuration(const MediaItem& item, bool autoPlay);
    void restartDownloadPoll(const QUrl& url);
    void stopDownloadPoll();
    int queueIndexInsideQueue();
    void watchUpcomingFolderGroups();
    QVariantList upcomingFolderGroupList() const;

    // Views see optionals as a null variant or an empty string.
    QVariant rootFolderVariant() const;
    QVariant selectedFolderVariant() const;
    QVariant selectedFileVariant() const;
    QString selectedFolderIDText() const { return m_selectedFolderID.value_or(QString()); }
    QString selectedFileIDText() const { return m_selectedFileID.value_or(QString()); }
    QString currentTitleText() const { return m_currentTitle.value_or(QString()); }
    QString currentArtistText() const { return m_currentArtist.value_or(QString()); }
    QString currentBitDepthText() const { return m_currentBitDepth.value_or(QString()); }
    QString currentSampleRateText() const { return m_currentSampleRate.value_or(QString()); }
    QString currentFilesizeText() const { return m_currentFilesize.value_or(QString()); }
    QString currentFileTypeText() const { return m_currentFileType.value_or(QString()); }
    QString currentYearText() const { return m_currentYear.value_or(QString()); }
    QStringList expandedFolderIDList() const;
    void setExpandedFolderIDList(const QStringList& ids);

    // Published state.
    std::optional<MediaItem> m_rootFolder;
    QSet<QString> m_expandedFolderIDs;
    std::optional<MediaItem> m_selectedFolder;
    std::optional<QString> m_selectedFolderID;
    QList<MediaItem> m_flattenedFiles;
    // The root's files, flattened off the GUI thread after each new tree, so
    // selecting the root (the largest list) costs no walk over the tree.
    // Valid while m_rootGeneration still equals its generation.
    void flattenRootInBackground();
    int m_rootGeneration = 0;
    int m_rootFilesGeneration = -1;
    QList<MediaItem> m_rootFiles;
    std::optional<MediaItem> m_selectedFile;
    std::optional<QString> m_selectedFileID;
    QList<MediaItem> m_playbackQueue;
    int m_currentQueueIndex = 0;
    std::unique_ptr<QueuePlayer> m_player;
    std::optional<QString> m_currentTitle;
    std::optional<QString> m_currentArtist;
    QImage m_currentArtwork;
    std::optional<QString> m_currentBitDepth;
    std::optional<QString> m_currentSampleRate;
    std::optional<QString> m_currentFilesize;
    std::optional<QString> m_currentFileType;
    std::optional<QString> m_currentYear;
    bool m_isLoading = false;
    PlayerProgress* m_progress = nullptr;
    QList<float> m_waveformSamples;
    bool m_showError = false;
    QString m_errorMessage;
    bool m_showPermissionAlert = false;
    bool m_isFullscreenArtwork = false;
    bool m_isOLEDCareMode = false;
    bool m_isBuffering = false;
    bool m_isDownloading = false;
    float m_volume = 1.0f;

    // Private state.
    std::optional<int> m_timeObserverToken;
    QMetaObject::Connection m_itemObserver;
    QTimer* m_downloadPollTimer = nullptr;
    // The opened media folder; while set, access to it is held.
    std::optional<QUrl> m_currentRootURL;
    QMetaObject::Connection m_activeObserver;
    QMetaObject::Connection m_rateObserver;
    QMetaObject::Connection m_statusObserver;
    QMetaObject::Connection m_bufferEmptyObserver;
    QMetaObject::Connection m_keepUpObserver;
    QMetaObject::Connection m_itemStatusObserver;
    QMetaObject::Connection m_durationObserver;
    static inline const QString bookmarkKey = QStringLiteral("SyncedFolderBookmark");
    PlayerFactory m_playerFactory;
    // Background work for the selected file asks this when its turn comes:
    // false once another file (or none) has been selected since the call.
    std::function<bool()> selectionUnchanged() const;
    std::shared_ptr<std::atomic<quint64>> m_selectionGeneration =
        std::make_shared<std::atomic<quint64>>(0);
    // The load asked to play once its duration is known and nothing has
    // paused or played it since.
    bool m_autoPlayPending = false;
};
