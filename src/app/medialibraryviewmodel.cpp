#include "app/medialibraryviewmodel.h"

#include "base/console.h"
#include "app/usersettings.h"
#include "cache/mediacachemanager.h"
#include "cache/metadatacachemanager.h"
#include "library/backgroundrelease.h"
#include "library/mediaitemtree.h"
#include "system/sleepmanager.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSettings>
#include <QtConcurrent>
#include <utility>

MediaLibraryViewModel::MediaLibraryViewModel(QObject* parent) : QObject(parent) {
    // 1. Initial values are the members' initialisers.
    m_progress = new PlayerProgress(this);
    watchUpcomingFolderGroups();

    restoreStoredState();

    // 4. The media folder comes back, with the last file loaded paused.
    restoreLastFolder();
    // 5. Media keys.
    setupRemoteCommands();

    installApplicationObservers();
}

MediaLibraryViewModel::~MediaLibraryViewModel() {
    disconnect(m_activeObserver);
    releaseFolderAccess();
    SleepManager::shared().allowSleep();
}

void MediaLibraryViewModel::restoreStoredState() {
    // The track metadata cache is read in the background from here on, so
    // that it is in by the time the first file loads.
    MetadataCacheManager::shared();
    // 2. The assignment writes the value back, so a first launch stores false.
    setIsOLEDCareMode(userSettings().value(QStringLiteral("isOLEDCareMode"), false).toBool());

    // 3. Each assignment stores the queue again.
    if (auto stored = MediaCacheManager::shared().loadQueue()) {
        setPlaybackQueue(std::move(stored->first));
        setCurrentQueueIndex(stored->second);
    }
}

void MediaLibraryViewModel::installApplicationObservers() {
    // 6. Activation renews folder access and refreshes the library.
    if (!qGuiApp)
        return;
    m_activeObserver = connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
                               [this](Qt::ApplicationState state) {
                                   if (state != Qt::ApplicationActive)
                                       return;
                                   refreshSecurityScopeAccess();
                                   refreshLibrary();
                               });
    // 7. Quitting saves the playback position.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { savePlaybackPosition(); });
}

std::optional<MediaItem> MediaLibraryViewModel::findItem(const QString& id) const {
    if (!m_rootFolder)
        return std::nullopt;
    return ::findItem({*m_rootFolder}, id);
}

// ---- Setters: every assignment notifies ------------------------------------

void MediaLibraryViewModel::setRootFolder(std::optional<MediaItem> folder) {
    m_rootFolder = std::move(folder);
    ++m_rootGeneration;
    const BackgroundRelease stale(std::exchange(m_rootFiles, {}));
    flattenRootInBackground();
    emit rootFolderChanged();
}

void MediaLibraryViewModel::flattenRootInBackground() {
    if (!m_rootFolder)
        return;
    const int generation = m_rootGeneration;
    QPointer<MediaLibraryViewModel> guard(this);
    (void)QtConcurrent::run([guard, generation, root = *m_rootFolder] {
        QList<MediaItem> files = flattenAudioFiles(root);
        QMetaObject::invokeMethod(
            qApp,
            [guard, generation, files = std::move(files)]() mutable {
                if (guard && guard->m_rootGeneration == generation) {
                    guard->m_rootFiles = std::move(files);
                    guard->m_rootFilesGeneration = generation;
                } else {
                    const BackgroundRelease unused(std::move(files));
                }
            },
            Qt::QueuedConnection);
    });
}

void MediaLibraryViewModel::setExpandedFolderIDs(QSet<QString> ids) {
    m_expandedFolderIDs = std::move(ids);
    emit expandedFolderIDsChanged();
}

void MediaLibraryViewModel::setSelectedFolder(std::optional<MediaItem> folder) {
    m_selectedFolder = std::move(folder);
    if (m_selectedFolder) {
        setSelectedFolderID(m_selectedFolder->id());
        const bool isRoot = m_rootFolder && m_rootFolder->id() == m_selectedFolder->id() &&
                            m_rootFilesGeneration == m_rootGeneration;
        const BackgroundRelease previous(m_flattenedFiles);
        setFlattenedFiles(isRoot ? m_rootFiles : flattenAudioFiles(*m_selectedFolder));
        userSettings().setValue(QStringLiteral("LastSelectedFolderPath"), m_selectedFolder->path());
    } else {
        setSelectedFolderID(std::nullopt);
        setFlattenedFiles({});
    }
    emit selectedFolderChanged();
}

void MediaLibraryViewModel::setSelectedFolderID(std::optional<QString> id) {
    m_selectedFolderID = std::move(id);
    emit selectedFolderIDChanged();
}

void MediaLibraryViewModel::setFlattenedFiles(QList<MediaItem> files) {
    m_flattenedFiles = std::move(files);
    emit flattenedFilesChanged();
}

void MediaLibraryViewModel::setSelectedFile(std::optional<MediaItem> file) {
    if (!file || !m_selectedFile || file->id() != m_selectedFile->id())
        ++*m_selectionGeneration;
    m_selectedFile = std::move(file);
    emit selectedFileChanged();
}

std::function<bool()> MediaLibraryViewModel::selectionUnchanged() const {
    return [counter = m_selectionGeneration, seen = m_selectionGeneration->load()] {
        return counter->load() == seen;
    };
}

void MediaLibraryViewModel::setSelectedFileID(std::optional<QString> id) {
    m_selectedFileID = std::move(id);
    emit selectedFileIDChanged();
}

void MediaLibraryViewModel::setPlaybackQueue(QList<MediaItem> queue) {
    m_playbackQueue = std::move(queue);
    emit playbackQueueChanged();
    MediaCacheManager::shared().saveQueue(m_playbackQueue, m_currentQueueIndex);
}

void MediaLibraryViewModel::setCurrentQueueIndex(int index) {
    m_currentQueueIndex = index;
    emit currentQueueIndexChanged();
    MediaCacheManager::shared().saveQueue(m_playbackQueue, m_currentQueueIndex);
}

void MediaLibraryViewModel::setPlayer(std::unique_ptr<QueuePlayer> player) {
    // The old player stops feeding the shared output when it is destroyed.
    std::unique_ptr<QueuePlayer> old = std::move(m_player);
    m_player = std::move(player);
    emit playerChanged();
    old.reset();
    if (!m_player) {
        // The old player's rate observer no longer reaches this object, so
        // whatever its playing held is given back here.
        m_autoPlayPending = false;
        updateSleepPrevention();
    }
}

void MediaLibraryViewModel::setCurrentTitle(std::optional<QString> text) {
    m_currentTitle = std::move(text);
    emit currentTitleChanged();
}

void MediaLibraryViewModel::setCurrentArtist(std::optional<QString> text) {
    m_currentArtist = std::move(text);
    emit currentArtistChanged();
}

void MediaLibraryViewModel::setCurrentArtwork(QImage image) {
    m_currentArtwork = std::move(image);
    emit currentArtworkChanged();
    printLine(QStringLiteral("currentArtwork changed: ") +
              (m_currentArtwork.isNull() ? QStringLiteral("nil") : QStringLiteral("Image set")));
}

void MediaLibraryViewModel::setCurrentBitDepth(std::optional<QString> text) {
    m_currentBitDepth = std::move(text);
    emit currentBitDepthChanged();
}

void MediaLibraryViewModel::setCurrentSampleRate(std::optional<QString> text) {
    m_currentSampleRate = std::move(text);
    emit currentSampleRateChanged();
}

void MediaLibraryViewModel::setCurrentFilesize(std::optional<QString> text) {
    m_currentFilesize = std::move(text);
    emit currentFilesizeChanged();
}

void MediaLibraryViewModel::setCurrentFileType(std::optional<QString> text) {
    m_currentFileType = std::move(text);
    emit currentFileTypeChanged();
}

void MediaLibraryViewModel::setCurrentYear(std::optional<QString> text) {
    m_currentYear = std::move(text);
    emit currentYearChanged();
}

void MediaLibraryViewModel::setIsLoading(bool loading) {
    m_isLoading = loading;
    emit isLoadingChanged();
}

void MediaLibraryViewModel::setWaveformSamples(QList<float> samples) {
    m_waveformSamples = std::move(samples);
    emit waveformSamplesChanged();
}

void MediaLibraryViewModel::setShowError(bool show) {
    m_showError = show;
    emit showErrorChanged();
}

void MediaLibraryViewModel::setErrorMessage(const QString& message) {
    m_errorMessage = message;
    emit errorMessageChanged();
}

void MediaLibraryViewModel::setShowPermissionAlert(bool show) {
    m_showPermissionAlert = show;
    emit showPermissionAlertChanged();
}

void MediaLibraryViewModel::setIsFullscreenArtwork(bool on) {
    m_isFullscreenArtwork = on;
    emit isFullscreenArtworkChanged();
}

void MediaLibraryViewModel::setIsOLEDCareMode(bool on) {
    m_isOLEDCareMode = on;
    emit isOLEDCareModeChanged();
    userSettings().setValue(QStringLiteral("isOLEDCareMode"), on);
}

void MediaLibraryViewModel::setIsBuffering(bool buffering) {
    m_isBuffering = buffering;
    emit isBufferingChanged();
}

void MediaLibraryViewModel::setIsDownloading(bool downloading) {
    m_isDownloading = downloading;
    emit isDownloadingChanged();
}

void MediaLibraryViewModel::setVolume(float volume) {
    m_volume = volume;
    emit volumeChanged();
    printLine(QStringLiteral("Volume changed to: ") + floatText(volume));
    if (m_player) {
        m_player->setVolume(volume);
        printLine(QStringLiteral("Player volume set to: ") + floatText(m_player->volume()));
    } else {
        printLine(QStringLiteral("WARNING: Player is nil when setting volume"));
    }
}

// ---- Views' forms of optional values -------------------------------------

static QVariant variantOf(const std::optional<MediaItem>& item) {
    return item ? QVariant::fromValue(*item) : QVariant();
}

QVariant MediaLibraryViewModel::rootFolderVariant() const {
    return variantOf(m_rootFolder);
}
QVariant MediaLibraryViewModel::selectedFolderVariant() const {
    return variantOf(m_selectedFolder);
}
QVariant MediaLibraryViewModel::selectedFileVariant() const {
    return variantOf(m_selectedFile);
}

QStringList MediaLibraryViewModel::expandedFolderIDList() const {
    return QStringList(m_expandedFolderIDs.cbegin(), m_expandedFolderIDs.cend());
}

void MediaLibraryViewModel::setExpandedFolderIDList(const QStringList& ids) {
    setExpandedFolderIDs(QSet<QString>(ids.cbegin(), ids.cend()));
}
