#include "base/console.h"
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
// root is still the open folder: opening another folder, unloading it or
// destroying the view model cancels the scans under way, and a cancelled
// scan's (partial) tree is dropped.

namespace {
// Runs `work` on a worker thread and hands its result to `done` on the GUI
// thread, unless the view model is gone or the work was cancelled meanwhile.
template <typename Work, typename Done>
void runOffGuiThread(MediaLibraryViewModel* viewModel, std::shared_ptr<std::atomic<bool>> cancelled,
                     Work work, Done done) {
    QPointer<MediaLibraryViewModel> self(viewModel);
    (void)QtConcurrent::run(
        [self, cancelled, work = std::move(work), done = std::move(done)]() mutable {
            auto result = work(cancelled.get());
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, cancelled, done = std::move(done), result = std::move(result)]() mutable {
                    if (!self)
                        return;
                    if (cancelled->load()) {
                        // Once no folder is open nothing else ends the loading state.
                        if (!self->currentRootURL())
                            self->setIsLoading(false);
                        return;
                    }
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        });
}
} // namespace

void MediaLibraryViewModel::scanInBackground(const QUrl& root, TreeHandler done) {
    runOffGuiThread(
        this, m_scansCancelled,
        [root](const std::atomic<bool>* cancelled) { return scanDirectory(root, cancelled); },
        std::move(done));
}

void MediaLibraryViewModel::cancelScans() {
    m_scansCancelled->store(true);
    m_scansCancelled = std::make_shared<std::atomic<bool>>(false);
}

bool MediaLibraryViewModel::isCurrentRoot(const QUrl& root) const {
    return m_currentRootURL && *m_currentRootURL == root;
}

void MediaLibraryViewModel::openFolder(const QUrl& folder) {
    const QUrl root = QUrl::fromLocalFile(normalizedPath(folder));
    cancelScans();
    setIsLoading(true);
    FolderGrant::startAccessing(root);
    m_currentRootURL = root;
    startMonitoring(root);
    loadFolderTree(root, false);
}

void MediaLibraryViewModel::loadFolderTree(const QUrl& root, bool restoreSelection) {
    // The cache file is read off the GUI thread too: a large tree takes a
    // while to decode and the window must stay responsive.
    const QString cacheFile = LibraryStructureCache::filePath(root);
    struct Opened {
        MediaItem tree;
        bool isCached = false;
    };
    runOffGuiThread(
        this, m_scansCancelled,
        [root, cacheFile](const std::atomic<bool>* cancelled) {
            if (std::optional<MediaItem> cached = LibraryStructureCache::load(cacheFile))
                return Opened{std::move(*cached), true};
            return Opened{scanDirectory(root, cancelled), false};
        },
        [this, root, cacheFile, restoreSelection](Opened opened) {
            if (!isCurrentRoot(root))
                return;
            if (!opened.isCached)
                LibraryStructureCache::store(cacheFile, opened.tree);
            const BackgroundRelease previous(m_rootFolder);
            setRootFolder(std::move(opened.tree));
            setIsLoading(false);
            if (restoreSelection)
                restoreLastSelection();
            if (opened.isCached)
                refreshLibrary();
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
