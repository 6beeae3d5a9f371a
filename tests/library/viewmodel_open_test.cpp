#include "cache/atomicfilewriter.h"
#include "library/foldergrant.h"
#include "library/libraryscanner.h"
#include "library/mediaitemjson.h"
#include "library/mediaitemtree.h"
#include "support/testsupport.h"
#include "viewmodelfixture.h"

#include <QFile>
#include <QSettings>

using testsupport::capturedLines;
using testsupport::readFile;
using testsupport::writeFile;

namespace {
bool hasItem(const std::optional<MediaItem>& root, const QString& id) {
    return root && findItem({*root}, id).has_value();
}
} // namespace

using OpenFolder = ViewModelTest;

TEST_F(OpenFolder, ScansInTheBackgroundAndStoresTheTree) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();

    vm.openFolder(library.rootUrl());
    EXPECT_TRUE(vm.isLoading());
    EXPECT_FALSE(vm.rootFolder().has_value());
    EXPECT_EQ(vm.currentRootURL(), library.rootUrl());
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 1);
    settle();

    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_FALSE(vm.isLoading());
    ASSERT_TRUE(vm.rootFolder().has_value());
    EXPECT_EQ(vm.rootFolder()->id(), library.id(QString()));
    EXPECT_TRUE(hasItem(vm.rootFolder(), library.id(QStringLiteral("A/01.mp3"))));
    EXPECT_EQ(readFile(libraryStructureFile(library.rootUrl())), encodeMediaItem(*vm.rootFolder()));
}

TEST_F(OpenFolder, ShowsTheCachedTreeAtOnceAndThenTheFreshScan) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaItem cached = scanDirectory(library.rootUrl());
    cached.children->append(MediaItem::audioFile(library.path(QStringLiteral("cached.mp3"))));
    writeFile(libraryStructureFile(library.rootUrl()), encodeMediaItem(cached));
    MediaLibraryViewModel& vm = makeViewModel();

    const QStringList lines = capturedLines([&] {
        vm.openFolder(library.rootUrl());
        settle();
    });

    ASSERT_EQ(installedTrees.size(), 2);
    EXPECT_TRUE(hasItem(installedTrees[0], library.id(QStringLiteral("cached.mp3"))));
    // Loading ended with the cached tree, before the scan's tree came.
    EXPECT_EQ(treesWhenLoadingEnded, QList<int>{1});
    EXPECT_FALSE(hasItem(installedTrees[1], library.id(QStringLiteral("cached.mp3"))));
    EXPECT_TRUE(hasItem(installedTrees[1], library.id(QStringLiteral("A/01.mp3"))));
    EXPECT_TRUE(lines.contains(QStringLiteral("Refreshing library...")));
    EXPECT_EQ(readFile(libraryStructureFile(library.rootUrl())),
              encodeMediaItem(*installedTrees[1]));
}

TEST_F(OpenFolder, CorruptCacheIsIgnoredSilently) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    const QByteArray good = encodeMediaItem(scanDirectory(library.rootUrl()));
    writeFile(libraryStructureFile(library.rootUrl()), good.left(good.size() - 10));
    MediaLibraryViewModel& vm = makeViewModel();

    const QStringList lines = capturedLines([&] {
        vm.openFolder(library.rootUrl());
        settle();
    });

    EXPECT_TRUE(lines.isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_TRUE(hasItem(vm.rootFolder(), library.id(QStringLiteral("A/01.mp3"))));
    EXPECT_EQ(readFile(libraryStructureFile(library.rootUrl())), good);
}

TEST_F(OpenFolder, KeepsTheSelectionAfterACacheMiss) {
    TemporaryLibrary first;
    TemporaryLibrary second;
    first.file(QStringLiteral("A/01.mp3"));
    second.file(QStringLiteral("B/02.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(first.rootUrl());
    settle();
    vm.setSelectedFolder(vm.findItem(first.id(QStringLiteral("A"))));

    vm.openFolder(second.rootUrl());
    settle();

    EXPECT_EQ(vm.rootFolder()->id(), second.id(QString()));
    EXPECT_EQ(vm.selectedFolderID(), first.id(QStringLiteral("A")));
    EXPECT_EQ(vm.flattenedFiles().size(), 1);
}

TEST_F(OpenFolder, ScanOfAFolderNoLongerOpenIsDropped) {
    TemporaryLibrary first;
    TemporaryLibrary second;
    first.file(QStringLiteral("A/01.mp3"));
    second.file(QStringLiteral("B/02.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();

    vm.openFolder(first.rootUrl());
    vm.openFolder(second.rootUrl());
    settle();

    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_EQ(installedTrees[0]->id(), second.id(QString()));
    EXPECT_FALSE(vm.isLoading());
    EXPECT_FALSE(QFile::exists(libraryStructureFile(first.rootUrl())));
}

TEST_F(OpenFolder, RefreshOfAFolderNoLongerOpenIsDropped) {
    TemporaryLibrary first;
    TemporaryLibrary second;
    first.file(QStringLiteral("A/01.mp3"));
    second.file(QStringLiteral("B/02.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(first.rootUrl());
    settle();
    installedTrees.clear();

    vm.refreshLibrary();
    vm.openFolder(second.rootUrl());
    settle();

    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_EQ(installedTrees[0]->id(), second.id(QString()));
}

TEST_F(OpenFolder, ScanEndingAfterUnloadInstallsNothing) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();

    vm.openFolder(library.rootUrl());
    vm.unloadFolder();
    installedTrees.clear();
    settle();

    EXPECT_TRUE(installedTrees.isEmpty());
    EXPECT_FALSE(vm.rootFolder().has_value());
    EXPECT_FALSE(vm.isLoading());
    EXPECT_FALSE(QFile::exists(libraryStructureFile(library.rootUrl())));
}

using RefreshLibrary = ViewModelTest;

TEST_F(RefreshLibrary, DoesNothingWithoutAFolder) {
    MediaLibraryViewModel& vm = makeViewModel();
    const QStringList lines = capturedLines([&] {
        vm.refreshLibrary();
        settle();
    });
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_TRUE(installedTrees.isEmpty());
}

TEST_F(RefreshLibrary, ReattachesTheSelectionById) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    library.file(QStringLiteral("B/02.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    const MediaItem oldFolder = *vm.findItem(library.id(QStringLiteral("A")));
    const MediaItem oldFile = *vm.findItem(library.id(QStringLiteral("A/01.mp3")));
    vm.setSelectedFolder(oldFolder);
    vm.setSelectedFile(oldFile);
    vm.setSelectedFileID(oldFile.id());
    vm.setExpandedFolderIDs({library.id(QStringLiteral("B"))});
    library.file(QStringLiteral("A/02.mp3"));
    QSettings().remove(QStringLiteral("LastSelectedFolderPath"));

    const QStringList lines = capturedLines([&] {
        vm.refreshLibrary();
        settle();
    });

    EXPECT_TRUE(lines.contains(QStringLiteral("Refreshing library...")));
    EXPECT_EQ(vm.selectedFolderID(), oldFolder.id());
    EXPECT_EQ(vm.selectedFolder()->children->size(), 2);
    EXPECT_EQ(vm.flattenedFiles().size(), 2);
    EXPECT_EQ(QSettings().value(QStringLiteral("LastSelectedFolderPath")).toString(),
              library.path(QStringLiteral("A")));
    EXPECT_EQ(vm.selectedFileID(), oldFile.id());
    EXPECT_EQ(vm.selectedFile()->id(), oldFile.id());
    EXPECT_EQ(vm.expandedFolderIDs(), QSet<QString>{library.id(QStringLiteral("B"))});
}

TEST_F(RefreshLibrary, KeepsTheOldFolderWhenItIsGone) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    library.file(QStringLiteral("B/02.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    vm.setSelectedFolder(vm.findItem(library.id(QStringLiteral("B"))));
    library.remove(QStringLiteral("B"));

    vm.refreshLibrary();
    settle();

    EXPECT_FALSE(vm.findItem(library.id(QStringLiteral("B"))).has_value());
    EXPECT_EQ(vm.selectedFolderID(), library.id(QStringLiteral("B")));
    EXPECT_EQ(vm.flattenedFiles().size(), 1);
}

TEST_F(RefreshLibrary, OverlappingRefreshesEachInstallTheirTree) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    installedTrees.clear();

    const QStringList lines = capturedLines([&] {
        vm.refreshLibrary();
        vm.refreshLibrary();
        library.file(QStringLiteral("A/02.mp3"));
        vm.refreshLibrary();
        settle();
    });

    EXPECT_EQ(lines.count(QStringLiteral("Refreshing library...")), 3);
    ASSERT_EQ(installedTrees.size(), 3);
    for (const auto& tree : installedTrees)
        EXPECT_EQ(tree->id(), library.id(QString()));
    // The last refresh started after the new file existed; a later one sees it too.
    vm.refreshLibrary();
    settle();
    EXPECT_TRUE(hasItem(vm.rootFolder(), library.id(QStringLiteral("A/02.mp3"))));
}

using RescanFolder = ViewModelTest;

TEST_F(RescanFolder, ClearsEverythingAndScansAgain) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    // A cache that no longer matches the folder must not come back.
    MediaItem stale = *vm.rootFolder();
    stale.children->append(MediaItem::audioFile(library.path(QStringLiteral("stale.mp3"))));
    writeFile(libraryStructureFile(library.rootUrl()), encodeMediaItem(stale));
    vm.setSelectedFolder(vm.findItem(library.id(QStringLiteral("A"))));
    installedTrees.clear();

    vm.rescanFolder();
    EXPECT_FALSE(vm.rootFolder().has_value());
    EXPECT_FALSE(vm.selectedFolder().has_value());
    EXPECT_FALSE(vm.selectedFolderID().has_value());
    EXPECT_TRUE(vm.flattenedFiles().isEmpty());
    EXPECT_EQ(vm.player(), nullptr);
    EXPECT_TRUE(vm.isLoading());
    settle();

    ASSERT_EQ(installedTrees.size(), 2);
    EXPECT_FALSE(installedTrees[0].has_value());
    EXPECT_FALSE(hasItem(installedTrees[1], library.id(QStringLiteral("stale.mp3"))));
    EXPECT_TRUE(hasItem(installedTrees[1], library.id(QStringLiteral("A/01.mp3"))));
    EXPECT_FALSE(vm.isLoading());
}

TEST_F(RescanFolder, DoesNothingWithoutAFolder) {
    MediaLibraryViewModel& vm = makeViewModel();
    vm.rescanFolder();
    settle();
    EXPECT_TRUE(installedTrees.isEmpty());
    EXPECT_FALSE(vm.isLoading());
}
