#include "base/console.h"
#include "app/medialibraryviewmodel.h"
#include "app/usersettings.h"
#include "cache/mediacachemanager.h"
#include "library/foldergrant.h"
#include "library/mediaitemtree.h"

#include <QFile>
#include <QSettings>
#include <unistd.h>

namespace {
const QString kLastSelectedFolderPath = QStringLiteral("LastSelectedFolderPath");
const QString kLastSelectedFilePath = QStringLiteral("LastSelectedFilePath");

// A stored path, when the key holds a string.
std::optional<QString> storedPath(const QString& key) {
    const QVariant value = userSettings().value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}
} // namespace

void MediaLibraryViewModel::requestFolderAccess() {
    emit folderAccessRequested(
        QStringLiteral("Grant Access"),
        QStringLiteral(
            "Please select the media folder to allow the app to read and write artwork."));
}

void MediaLibraryViewModel::acceptChosenFolder(const QUrl& folder) {
    if (folder.isEmpty() || !folder.isLocalFile())
        return;
    QMetaObject::invokeMethod(
        this, [this] { setShowPermissionAlert(false); }, Qt::QueuedConnection);
    saveBookmark(folder);
    openFolder(folder);
}

void MediaLibraryViewModel::saveBookmark(const QUrl& folder) {
    QString error;
    const std::optional<FolderGrant> grant = FolderGrant::create(folder, &error);
    if (!grant) {
        printLine(QStringLiteral("Failed to save bookmark: ") + error);
        return;
    }
    userSettings().setValue(bookmarkKey, grant->toBytes());
}

void MediaLibraryViewModel::restoreLastFolder() {
    const QVariant data = userSettings().value(bookmarkKey);
    if (!data.isValid())
        return;
    QString error;
    const std::optional<FolderGrant::Resolution> resolved =
        FolderGrant::resolve(data.toByteArray(), &error);
    if (!resolved) {
        printLine(QStringLiteral("Failed to restore bookmark: ") + error);
        return;
    }
    const QUrl root = resolved->url;
    if (resolved->isStale)
        saveBookmark(root);
    if (!FolderGrant::startAccessing(root))
        return;
    m_currentRootURL = root;
    startMonitoring(root);

    if (access(QFile::encodeName(normalizedPath(root)).constData(), W_OK) != 0) {
        printLine(QStringLiteral("Restored folder is read-only. Requesting write access."));
        QMetaObject::invokeMethod(
            this, [this] { setShowPermissionAlert(true); }, Qt::QueuedConnection);
    }

    // The cached tree is decoded in the background, or else the folder is
    // scanned there, so a large library never freezes the start-up; the last
    // selection comes back once the tree is in place (and a cached tree is
    // then refreshed by a scan).
    setIsLoading(true);
    loadFolderTree(root, true);
}

void MediaLibraryViewModel::restoreLastSelection() {
    if (!m_rootFolder)
        return;
    const QList<MediaItem> roots{*m_rootFolder};
    if (const std::optional<QString> path = storedPath(kLastSelectedFolderPath)) {
        if (std::optional<MediaItem> folder = findItemByPath(roots, QUrl::fromLocalFile(*path))) {
            setSelectedFolder(folder);
            setSelectedFolderID(folder->id());
        }
    }
    if (const std::optional<QString> path = storedPath(kLastSelectedFilePath)) {
        if (std::optional<MediaItem> file = findItemByPath(roots, QUrl::fromLocalFile(*path)))
            loadFile(*file, false);
    }
}

void MediaLibraryViewModel::refreshSecurityScopeAccess() {
    if (!m_currentRootURL)
        return;
    printLine(QStringLiteral("Refreshing security scope access for: ") +
              normalizedPath(*m_currentRootURL));
    FolderGrant::stopAccessing(*m_currentRootURL);
    const bool started = FolderGrant::startAccessing(*m_currentRootURL);
    printLine(QStringLiteral("Access refresh success: ") +
              (started ? QStringLiteral("true") : QStringLiteral("false")));
}

void MediaLibraryViewModel::unloadFolder() {
    stopPlayerForUnload();
    setRootFolder(std::nullopt);
    setFlattenedFiles({});
    setSelectedFolder(std::nullopt);
    setSelectedFolderID(std::nullopt);
    setSelectedFile(std::nullopt);
    setSelectedFileID(std::nullopt);
    setCurrentTitle(std::nullopt);
    setCurrentArtist(std::nullopt);
    setCurrentArtwork(QImage());
    releaseFolderAccess();
    QSettings& settings = userSettings();
    settings.remove(bookmarkKey);
    settings.remove(kLastSelectedFolderPath);
    settings.remove(kLastSelectedFilePath);
    MediaCacheManager::shared().clearCache();
}

void MediaLibraryViewModel::releaseFolderAccess() {
    cancelScans();
    if (m_currentRootURL)
        FolderGrant::stopAccessing(*m_currentRootURL);
    m_currentRootURL.reset();
}
