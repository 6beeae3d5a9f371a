#include "app/commandlinefolder.h"
#include "library/foldergrant.h"
#include "library/libraryscanner.h"
#include "library/librarystructurecache.h"
#include "library/mediaitemjson.h"
#include "library/mediaitemtree.h"
#include "support/viewmodelfixture.h"

using namespace vmtest;
using testsupport::readFile;

namespace {
const QString kBookmark = QStringLiteral("SyncedFolderBookmark");
const QString kFolderPath = QStringLiteral("LastSelectedFolderPath");
const QString kFilePath = QStringLiteral("LastSelectedFilePath");

QString cacheFile(const TestLibrary& library) {
    return LibraryStructureCache::filePath(library.rootUrl());
}
bool has(const std::optional<MediaItem>& root, const QString& id) {
    return root && findItem({*root}, id).has_value();
}
void storeGrant(const QUrl& folder) {
    QString error;
    const auto grant = FolderGrant::create(folder, &error);
    EXPECT_TRUE(grant.has_value()) << error.toStdString();
    QSettings().setValue(kBookmark, grant ? grant->toBytes() : QByteArray());
}
std::optional<QUrl> storedGrant() {
    QString error;
    const auto resolved = FolderGrant::resolve(QSettings().value(kBookmark).toByteArray(), &error);
    return resolved && !resolved->isStale ? std::optional(resolved->url) : std::nullopt;
}

class LibraryFixture : public PlaybackFixture {
protected:
    void openLibrary() {
        startViewModel().openFolder(library->rootUrl());
        finishScans();
        installedTrees.clear();
        takeLines();
    }
};
} // namespace

using OpenFolder = LibraryFixture;

TEST_F(OpenFolder, ScansInTheBackgroundAndStoresTheTree) {
    startViewModel().openFolder(library->rootUrl());
    EXPECT_TRUE(vm->isLoading() && !vm->rootFolder());
    EXPECT_EQ(vm->currentRootURL(), library->rootUrl());
    EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 1);
    finishScans();

    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_FALSE(vm->isLoading());
    EXPECT_TRUE(has(vm->rootFolder(), library->id("F/f1.wav")));
    EXPECT_EQ(readFile(cacheFile(*library)), encodeMediaItem(*vm->rootFolder()));
    vm.reset();
    EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 0) << "released with the view model";
}

// Each leaves a scan running whose tree must not be installed.
TEST_F(OpenFolder, TreesOfAFolderNoLongerOpenAreDropped) {
    TestLibrary other;
    other.add("B/02.mp3");
    const std::tuple<bool, std::function<void()>, bool> rows[] = {
        {false, [&] { vm->openFolder(other.rootUrl()); }, true},
        {true, [&] { vm->refreshLibrary(), vm->openFolder(other.rootUrl()); }, true},
        {false, [&] { vm->unloadFolder(); }, false},
    };
    for (const auto& [openedBefore, steps, otherOpen] : rows) {
        QFile::remove(cacheFile(*library));
        QFile::remove(cacheFile(other));
        startViewModel().openFolder(library->rootUrl());
        if (openedBefore) {
            finishScans();
            installedTrees.clear();
        }
        steps();
        finishScans();

        installedTrees.removeAll(std::nullopt); // unloading empties the tree
        ASSERT_EQ(installedTrees.size(), otherOpen ? 1 : 0);
        if (otherOpen)
            EXPECT_EQ(installedTrees[0]->id(), other.id());
        EXPECT_FALSE(vm->isLoading());
        EXPECT_EQ(QFile::exists(cacheFile(*library)), openedBefore);
    }
}

using RefreshLibrary = LibraryFixture;

TEST_F(RefreshLibrary, ReattachesTheSelectionByIdAndKeepsAFolderThatIsGone) {
    openLibrary();
    vm->setSelectedFolder(vm->findItem(library->id("F")));
    vm->setSelectedFile(vm->findItem(library->id("F/f1.wav")));
    vm->setExpandedFolderIDs({library->id("G")});
    library->add("F/f4.wav");
    QSettings().remove(kFolderPath);

    for (int i = 0; i < 3; ++i) // overlapping refreshes each install their tree
        vm->refreshLibrary();
    finishScans();

    EXPECT_EQ(takeLines(), QStringList(3, "Refreshing library..."));
    EXPECT_EQ(installedTrees.size(), 3);
    EXPECT_EQ(vm->selectedFolderID(), library->id("F"));
    EXPECT_EQ(vm->flattenedFiles().size(), 4);
    EXPECT_EQ(QSettings().value(kFolderPath).toString(), library->path("F"));
    EXPECT_EQ(vm->selectedFile()->id(), library->id("F/f1.wav"));
    EXPECT_EQ(vm->expandedFolderIDs(), QSet<QString>{library->id("G")});

    vm->setSelectedFolder(vm->findItem(library->id("H")));
    library->remove("H");
    vm->refreshLibrary();
    finishScans();
    EXPECT_FALSE(vm->findItem(library->id("H")).has_value());
    EXPECT_EQ(vm->selectedFolderID(), library->id("H"));
    EXPECT_EQ(vm->flattenedFiles().size(), 2);
}

using RescanFolder = LibraryFixture;

TEST_F(RescanFolder, ClearsEverythingAndScansAgain) {
    startViewModel();
    vm->rescanFolder();
    vm->refreshLibrary();
    finishScans();
    EXPECT_TRUE(installedTrees.isEmpty()) << "nothing happens without a folder";
    openLibrary();
    // A cache that no longer matches the folder must not come back.
    MediaItem stale = *vm->rootFolder();
    stale.children->append(MediaItem::audioFile(library->path("stale.wav")));
    testsupport::writeFile(cacheFile(*library), encodeMediaItem(stale));
    vm->setSelectedFolder(vm->findItem(library->id("F")));
    run("playFolder G");

    vm->rescanFolder();
    EXPECT_FALSE(vm->rootFolder() || vm->selectedFolder() || vm->selectedFolderID());
    EXPECT_TRUE(vm->flattenedFiles().isEmpty());
    EXPECT_EQ(vm->player(), nullptr);
    EXPECT_TRUE(vm->isLoading());
    finishScans();

    ASSERT_EQ(installedTrees.size(), 2);
    EXPECT_FALSE(installedTrees[0].has_value());
    EXPECT_FALSE(has(installedTrees[1], library->id("stale.wav")));
    EXPECT_TRUE(has(installedTrees[1], library->id("F/f1.wav")));
    EXPECT_FALSE(vm->isLoading());
}

using RestoreLastFolder = LibraryFixture;

// A cached tree is decoded off the GUI thread, shown, then refreshed by a
// scan; a damaged one is passed over quietly.
TEST_F(RestoreLastFolder, ACachedTreeShowsFirstThenTheScan) {
    MediaItem cached = scanDirectory(library->rootUrl());
    cached.children->append(MediaItem::folder(library->path("Cached only")));
    const QByteArray good = encodeMediaItem(cached);
    for (const QByteArray& bytes : {good, good.left(good.size() - 10)}) {
        testsupport::writeFile(cacheFile(*library), bytes);
        storeGrant(library->rootUrl());
        QSettings().setValue(kFolderPath, library->path("Cached only"));
        takeLines();

        startViewModel();
        EXPECT_FALSE(vm->rootFolder().has_value()) << "decoded on the GUI thread";
        finishScans();

        const bool damaged = bytes != good;
        ASSERT_EQ(installedTrees.size(), damaged ? 1 : 2);
        EXPECT_EQ(has(installedTrees[0], library->id("Cached only")), !damaged);
        EXPECT_EQ(treesWhenLoadingEnded.value(0), 1) << "loading ends with the first tree";
        EXPECT_FALSE(has(vm->rootFolder(), library->id("Cached only")));
        EXPECT_EQ(vm->selectedFolderID(),
                  damaged ? std::nullopt : std::optional(library->id("Cached only")));
        EXPECT_EQ(readFile(cacheFile(*library)), encodeMediaItem(*vm->rootFolder()));
        const QStringList lines = takeLines();
        EXPECT_EQ(lines.filter("Refreshing").size(), damaged ? 0 : 1);
        EXPECT_EQ(lines.filter("rror"), QStringList());
    }
}

// None, a damaged one, one whose folder is gone; then a stale one (its path
// holds another folder now), saved again, opened, its folder and file selected.
TEST_F(RestoreLastFolder, TheStoredGrantMustResolve) {
    QString gonePath;
    {
        TestLibrary gone;
        gonePath = gone.path();
        storeGrant(gone.rootUrl());
    }
    const QByteArray goneGrant = QSettings().value(kBookmark).toByteArray();
    const std::pair<QByteArray, QString> rows[] = {
        {{}, {}},
        {"\x01\x02garbage", "The folder grant is not readable."},
        {goneGrant, gonePath + ": No such file or directory"},
    };
    for (const auto& [bytes, error] : rows) {
        QSettings().clear();
        if (!bytes.isEmpty())
            QSettings().setValue(kBookmark, bytes);
        takeLines();
        startViewModel();
        finishScans();
        EXPECT_EQ(takeLines("bookmark"), error.isEmpty()
                                             ? QStringList()
                                             : QStringList{"Failed to restore bookmark: " + error});
        EXPECT_FALSE(vm->rootFolder() || vm->currentRootURL() || vm->isLoading());
    }

    TestLibrary other;
    storeGrant(other.rootUrl());
    ASSERT_TRUE(QDir().rename(other.path(), other.path() + ".old"));
    other.add("A/01.mp3");
    other.add("A/02.mp3");
    QSettings().setValue(kFolderPath, other.path("A/")); // the separator makes no difference
    QSettings().setValue(kFilePath, other.path("A/02.mp3"));
    EXPECT_FALSE(storedGrant().has_value());
    startViewModel();
    EXPECT_TRUE(vm->currentRootURL() == other.rootUrl() && vm->isLoading());
    finishScans();
    EXPECT_EQ(storedGrant(), other.rootUrl());
    EXPECT_EQ(vm->selectedFolderID(), other.id("A"));
    EXPECT_EQ(vm->selectedFile()->id(), other.id("A/02.mp3"));
}

using FolderAccess = LibraryFixture;

// Access is renewed on activation, and given up when the folder is gone.
TEST_F(FolderAccess, TheChosenFolderIsGrantedOpenedAndRenewed) {
    startViewModel().setShowPermissionAlert(true);
    vm->refreshSecurityScopeAccess();
    EXPECT_EQ(takeLines("access"), QStringList()) << "no folder, nothing to renew";
    // Chosen on the command line: a relative path with a trailing separator.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(library->path("F"));
    openCommandLineFolder(*vm, {"tolvane", "../"});
    QDir::setCurrent(previous);
    EXPECT_TRUE(vm->showPermissionAlert()) << "lowered on the event loop";
    finishScans();
    EXPECT_FALSE(vm->showPermissionAlert());
    EXPECT_EQ(storedGrant(), library->rootUrl());
    EXPECT_EQ(vm->rootFolder()->id(), library->id());

    // A cancelled chooser, or anything but a folder on the command line, changes nothing.
    vm->setShowPermissionAlert(true);
    installedTrees.clear();
    vm->acceptChosenFolder(QUrl());
    for (const QString& argument : {library->path("F/f1.wav"), library->path("none")})
        openCommandLineFolder(*vm, {"tolvane", argument});
    openCommandLineFolder(*vm, {"tolvane"});
    finishScans();
    EXPECT_TRUE(installedTrees.isEmpty() && vm->showPermissionAlert());
    takeLines();
    vm->refreshSecurityScopeAccess();
    EXPECT_EQ(takeLines(), (QStringList{"Refreshing security scope access for: " + library->path(),
                                        "Access refresh success: true"}));
    EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 1);
    QDir(library->path()).removeRecursively();
    vm->refreshSecurityScopeAccess();
    EXPECT_EQ(takeLines("success"), QStringList{"Access refresh success: false"});
    EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 0);
}

using UnloadFolder = LibraryFixture;

TEST_F(UnloadFolder, ForgetsTheFolderItsKeysAndTheCache) {
    startViewModel().acceptChosenFolder(library->rootUrl());
    finishScans();
    run("select F; load f1; playFolder G");
    vm->setCurrentTitle("Title");
    QSettings().setValue(kFilePath, library->path("F/f1.wav"));
    ASSERT_TRUE(QFile::exists(cacheFile(*library)));

    vm->unloadFolder();

    EXPECT_EQ(vm->player(), nullptr);
    EXPECT_FALSE(vm->rootFolder() || vm->selectedFolder() || vm->selectedFolderID() ||
                 vm->selectedFile() || vm->selectedFileID() || vm->currentTitle() ||
                 vm->currentArtist() || vm->currentRootURL());
    EXPECT_TRUE(vm->flattenedFiles().isEmpty() && vm->currentArtwork().isNull());
    EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 0);
    for (const QString& key : {kBookmark, kFolderPath, kFilePath})
        EXPECT_FALSE(QSettings().contains(key)) << key.toStdString();
    EXPECT_FALSE(QFile::exists(cacheFile(*library)));
    EXPECT_EQ(vm->playbackQueue().size(), 3) << "the queue stays";
}
