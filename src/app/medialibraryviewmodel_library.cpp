#include "app/console.h"
#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/backgroundrelease.h"
#include "library/foldergrant.h"
#include "library/libraryscanner.h"
#include "library/librarystructurecache.h"
#include "library/mediaitemtree.h"

#include <QCoreApplication>
#include <QPointer>
#include <QtConcurrent>

// Every tree that arrives from the background is installed only while its
// root is still the open folder: a scan that ends after another folder was
// opened, or after the folder was unloaded, is dropped.

void MediaLibraryViewModel::scanInBackground(const QUrl& root, TreeHandler done) {
    QPointer<MediaLibraryViewModel> self(this);
    (void)QtConcurrent::run([self, root, done = std::move(done)]() mutable {
        MediaItem tree = scanDirectory(root);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, done = std::move(done), tree = std::move(tree)]() mutable {
                if (self)
                    done(std::move(tree));
            },
            Qt::QueuedConnection);
    });
}

bool MediaLibraryViewModel::isCurrentRoot(const QUrl& root) const {
    return m_currentRootURL && *m_currentRootURL == root;
}

void MediaLibraryViewModel::openFolder(const QUrl& folder) {
    const QUrl root = QUrl::fromLocalFile(normalizedPath(folder));
    setIsLoading(true);
    FolderGrant::startAccessing(root);
    m_currentRootURL = root;
    startMonitoring(root);

    // The cache file is read off the GUI thread too: a large tree takes a
    // while to decode and the window must stay responsive.
    const QString cacheFile = LibraryStructureCache::filePath(root);
    QPointer<MediaLibraryViewModel> self(this);
    (void)QtConcurrent::run([self, root, cacheFile] {
        std::optional<MediaItem> cached = LibraryStructureCache::load(cacheFile);
        const bool isCached = cached.has_value();
        MediaItem tree = isCached ? std::move(*cached) : scanDirectory(root);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, root, cacheFile, isCached, tree = std::move(tree)]() mutable {
                if (!self)
                    return;
                if (!self->isCurrentRoot(root)) {
                    if (!self->m_currentRootURL)
                        self->setIsLoading(false);
                    return;
                }
                if (!isCached)
                    LibraryStructureCache::store(cacheFile, tree);
                const BackgroundRelease previous(self->m_rootFolder);
                self->setRootFolder(std::move(tree));
                self->setIsLoading(false);
                if (isCached)
                    self->refreshLibrary();
            },
            Qt::QueuedConnection);
    });
}

void MediaLibraryViewModel::refreshLibrary() {
    if (!m_currentRootURL)
        return;
    printLine(QStringLiteral("Refreshing library..."));
    const QUrl root = *m_currentRootURL;
    const QString cacheFile = LibraryStructureCache::filePath(root);
    scanInBackground(root, [this, root, cacheFile](MediaItem tree) {
        if (!isCurrentRoot(root))
            return;
        LibraryStructureCache::store(cacheFile, tree);
        applyRefreshedLibrary(std::move(tree));
    });
}

void MediaLibraryViewModel::applyRefreshedLibrary(MediaItem root) {
    const BackgroundRelease previous(m_rootFolder, m_selectedFolder, m_flattenedFiles);
    const std::optional<QString> folderID = m_selectedFolderID;
    const std::optional<QString> fileID = m_selectedFileID;
    setRootFolder(root);
    const QList<MediaItem> roots{root};
    if (folderID) {
        if (std::optional<MediaItem> folder = ::findItem(roots, *folderID)) {
            setSelectedFolder(folder);
            setSelectedFolderID(folder->id());
        }
    }
    if (fileID) {
        std::optional<MediaItem> file = ::findItem(roots, *fileID);
        if (file && m_selectedFile && m_selectedFile->id() == file->id()) {
            setSelectedFile(file);
            loadTrackInfo(*file);
        }
    }
}

void MediaLibraryViewModel::rescanFolder() {
    if (!m_currentRootURL)
        return;
    const QUrl root = *m_currentRootURL;
    stopPlayerForUnload();
    setRootFolder(std::nullopt);
    setFlattenedFiles({});
    setSelectedFolder(std::nullopt);
    setSelectedFolderID(std::nullopt);
    setSelectedFile(std::nullopt);
    setSelectedFileID(std::nullopt);
    // Also removes the library-structure files, so the folder is scanned again.
    MediaCacheManager::shared().clearCache();
    openFolder(root);
}

void MediaLibraryViewModel::stopPlayerForUnload() {
    if (m_player) {
        m_player->pause();
        m_player->removeAllItems();
    }
    setPlayer(nullptr);
}
