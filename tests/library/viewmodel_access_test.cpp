#include "cache/mediacachemanager.h"
#include "library/foldergrant.h"
#include "library/libraryscanner.h"
#include "library/mediaitemjson.h"
#include "library/mediaitemtree.h"
#include "support/testsupport.h"
#include "viewmodelfixture.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::capturedLines;
using testsupport::writeFile;

namespace {
const QString kBookmark = QStringLiteral("SyncedFolderBookmark");
const QString kFolderPath = QStringLiteral("LastSelectedFolderPath");
const QString kFilePath = QStringLiteral("LastSelectedFilePath");

void fillLibrary(const TemporaryLibrary& library) {
    library.file(QStringLiteral("A/01.mp3"));
    library.file(QStringLiteral("A/02.mp3"));
    library.file(QStringLiteral("B/03.mp3"));
}
} // namespace

using RestoreLastFolder = ViewModelTest;

TEST_F(RestoreLastFolder, WithoutAGrantTheLibraryStaysEmpty) {
    const QStringList lines = capturedLines([&] { makeViewModel(); });
    settle();
    EXPECT_FALSE(lines.join(QLatin1Char('\n')).contains(QStringLiteral("bookmark")));
    EXPECT_FALSE(viewModel().rootFolder().has_value());
    EXPECT_FALSE(viewModel().currentRootURL().has_value());
    EXPECT_FALSE(viewModel().isLoading());
}

TEST_F(RestoreLastFolder, ScansInTheBackgroundThenSelectsTheLastFolderAndFile) {
    TemporaryLibrary library;
    fillLibrary(library);
    storeGrant(library.rootUrl());
    QSettings().setValue(kFolderPath, library.path(QStringLiteral("A")));
    QSettings().setValue(kFilePath, library.path(QStringLiteral("A/02.mp3")));

    MediaLibraryViewModel& vm = makeViewModel();
    EXPECT_EQ(vm.currentRootURL(), library.rootUrl());
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 1);
    EXPECT_TRUE(vm.isLoading());
    EXPECT_FALSE(vm.rootFolder().has_value());
    settle();

    ASSERT_TRUE(vm.rootFolder().has_value());
    EXPECT_FALSE(vm.isLoading());
    EXPECT_EQ(vm.selectedFolderID(), library.id(QStringLiteral("A")));
    EXPECT_EQ(vm.flattenedFiles().size(), 2);
    EXPECT_EQ(vm.selectedFileID(), library.id(QStringLiteral("A/02.mp3")));
    EXPECT_EQ(vm.selectedFile()->id(), library.id(QStringLiteral("A/02.mp3")));
    EXPECT_TRUE(QFile::exists(libraryStructureFile(library.rootUrl())));
}

// A large cached tree takes long to decode: the constructor leaves it to a
// worker thread, installs it when it arrives, then refreshes it by a scan.
TEST_F(RestoreLastFolder, CachedTreeIsDecodedInTheBackgroundThenRefreshed) {
    TemporaryLibrary library;
    fillLibrary(library);
    MediaItem cached = scanDirectory(library.rootUrl());
    cached.children->append(MediaItem::folder(library.path(QStringLiteral("Cached only"))));
    writeFile(libraryStructureFile(library.rootUrl()), encodeMediaItem(cached));
    storeGrant(library.rootUrl());
    QSettings().setValue(kFolderPath, library.path(QStringLiteral("Cached only")));
    const QString cachedOnly = library.id(QStringLiteral("Cached only"));

    QStringList lines = capturedLines([&] { makeViewModel(); });
    MediaLibraryViewModel& vm = viewModel();
    EXPECT_FALSE(vm.rootFolder().has_value()) << "decoded on the GUI thread";
    EXPECT_TRUE(vm.isLoading());
    lines += capturedLines([&] { settle(); });

    ASSERT_GE(installedTrees.size(), 2);
    ASSERT_TRUE(installedTrees.first().has_value());
    EXPECT_TRUE(findItem({*installedTrees.first()}, cachedOnly).has_value());
    EXPECT_EQ(treesWhenLoadingEnded.value(0), 1) << "loading ends with the cached tree";
    EXPECT_TRUE(lines.contains(QStringLiteral("Refreshing library...")));
    // The fresh scan replaced the cached tree and kept the old folder node.
    EXPECT_FALSE(vm.findItem(cachedOnly).has_value());
    EXPECT_EQ(vm.selectedFolderID(), cachedOnly);
}

TEST_F(RestoreLastFolder, DeletedLastFolderAndFileSelectNothing) {
    TemporaryLibrary library;
    fillLibrary(library);
    storeGrant(library.rootUrl());
    QSettings().setValue(kFolderPath, library.path(QStringLiteral("Gone")));
    QSettings().setValue(kFilePath, library.path(QStringLiteral("Gone/01.mp3")));

    const QStringList lines = capturedLines([&] {
        makeViewModel();
        settle();
    });

    EXPECT_TRUE(viewModel().rootFolder().has_value());
    EXPECT_FALSE(viewModel().selectedFolder().has_value());
    EXPECT_FALSE(viewModel().selectedFile().has_value());
    EXPECT_FALSE(lines.join(QLatin1Char('\n')).contains(QStringLiteral("rror")));
}

TEST_F(RestoreLastFolder, StoredFolderPathWithATrailingSeparatorIsFound) {
    TemporaryLibrary library;
    fillLibrary(library);
    storeGrant(library.rootUrl());
    QSettings().setValue(kFolderPath, library.path(QStringLiteral("B/")));
    makeViewModel();
    settle();
    EXPECT_EQ(viewModel().selectedFolderID(), library.id(QStringLiteral("B")));
}

TEST_F(RestoreLastFolder, StaleGrantIsSavedAgainAndTheFolderStillOpens) {
    TemporaryLibrary library;
    storeGrant(library.rootUrl());
    const QByteArray staleBytes = QSettings().value(kBookmark).toByteArray();
    ASSERT_TRUE(QDir().rename(library.root(), library.root() + QStringLiteral(".old")));
    fillLibrary(library);

    makeViewModel();
    settle();

    const QByteArray saved = QSettings().value(kBookmark).toByteArray();
    EXPECT_NE(saved, staleBytes);
    QString error;
    const auto resolved = FolderGrant::resolve(saved, &error);
    ASSERT_TRUE(resolved.has_value());
    EXPECT_FALSE(resolved->isStale);
    ASSERT_TRUE(viewModel().rootFolder().has_value());
    EXPECT_EQ(viewModel().findItem(library.id(QStringLiteral("A/01.mp3")))->id(),
              library.id(QStringLiteral("A/01.mp3")));
}

TEST_F(RestoreLastFolder, UnresolvableGrantLeavesTheLibraryEmpty) {
    TemporaryLibrary library;
    storeGrant(library.rootUrl());
    QDir(library.root()).removeRecursively();

    const QStringList lines = capturedLines([&] {
        makeViewModel();
        settle();
    });

    EXPECT_TRUE(lines.contains(QStringLiteral("Failed to restore bookmark: ") + library.root() +
                               QStringLiteral(": No such file or directory")));
    EXPECT_FALSE(viewModel().rootFolder().has_value());
    EXPECT_FALSE(viewModel().currentRootURL().has_value());
}

TEST_F(RestoreLastFolder, GarbageGrantLeavesTheLibraryEmpty) {
    QSettings().setValue(kBookmark, QByteArray("\x01\x02garbage"));
    const QStringList lines = capturedLines([&] { makeViewModel(); });
    EXPECT_TRUE(lines.contains(
        QStringLiteral("Failed to restore bookmark: The folder grant is not readable.")));
    EXPECT_FALSE(viewModel().currentRootURL().has_value());
}

TEST_F(RestoreLastFolder, ReadOnlyFolderRaisesTheWriteAccessAlert) {
    if (geteuid() == 0)
        GTEST_SKIP() << "every folder is writable for root";
    TemporaryLibrary library;
    fillLibrary(library);
    storeGrant(library.rootUrl());
    chmod(QFile::encodeName(library.root()).constData(), 0555);

    const QStringList lines = capturedLines([&] { makeViewModel(); });
    EXPECT_FALSE(viewModel().showPermissionAlert()); // raised later, on the event loop
    settle();
    chmod(QFile::encodeName(library.root()).constData(), 0755);

    EXPECT_TRUE(
        lines.contains(QStringLiteral("Restored folder is read-only. Requesting write access.")));
    EXPECT_TRUE(viewModel().showPermissionAlert());
    EXPECT_TRUE(viewModel().rootFolder().has_value());
}

using FolderAccess = ViewModelTest;

TEST_F(FolderAccess, RequestAsksForTheChooserWithItsTexts) {
    MediaLibraryViewModel& vm = makeViewModel();
    QSignalSpy requests(&vm, &MediaLibraryViewModel::folderAccessRequested);
    vm.requestFolderAccess();
    ASSERT_EQ(requests.count(), 1);
    EXPECT_EQ(requests[0][0].toString(), QStringLiteral("Grant Access"));
    EXPECT_EQ(requests[0][1].toString(),
              QStringLiteral(
                  "Please select the media folder to allow the app to read and write artwork."));
}

TEST_F(FolderAccess, ChosenFolderIsGrantedAndOpened) {
    TemporaryLibrary library;
    fillLibrary(library);
    MediaLibraryViewModel& vm = makeViewModel();
    vm.setShowPermissionAlert(true);

    vm.acceptChosenFolder(library.rootUrl());
    EXPECT_TRUE(vm.showPermissionAlert()); // lowered on the event loop
    settle();

    EXPECT_FALSE(vm.showPermissionAlert());
    QString error;
    const auto resolved = FolderGrant::resolve(QSettings().value(kBookmark).toByteArray(), &error);
    ASSERT_TRUE(resolved.has_value()) << error.toStdString();
    EXPECT_EQ(resolved->url, library.rootUrl());
    EXPECT_EQ(vm.rootFolder()->id(), library.id(QString()));
}

TEST_F(FolderAccess, CancelledChooserChangesNothing) {
    TemporaryLibrary library;
    fillLibrary(library);
    MediaLibraryViewModel& vm = makeViewModel();
    vm.acceptChosenFolder(library.rootUrl());
    settle();
    vm.setShowPermissionAlert(true);
    installedTrees.clear();

    vm.acceptChosenFolder(QUrl());
    settle();

    EXPECT_TRUE(installedTrees.isEmpty());
    EXPECT_EQ(vm.currentRootURL(), library.rootUrl());
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 1);
    EXPECT_TRUE(vm.showPermissionAlert());
}

TEST_F(FolderAccess, BookmarkThatCannotBeMadeIsReportedAndTheFolderStillOpens) {
    TemporaryLibrary library;
    const QUrl missing = QUrl::fromLocalFile(library.path(QStringLiteral("Missing")));
    MediaLibraryViewModel& vm = makeViewModel();
    const QStringList lines = capturedLines([&] {
        vm.acceptChosenFolder(missing);
        settle();
    });
    EXPECT_TRUE(lines.contains(QStringLiteral("Failed to save bookmark: ") +
                               library.path(QStringLiteral("Missing")) +
                               QStringLiteral(": No such file or directory")));
    EXPECT_FALSE(QSettings().contains(kBookmark));
    EXPECT_EQ(vm.currentRootURL(), missing);
    ASSERT_TRUE(vm.rootFolder().has_value());
    EXPECT_TRUE(vm.rootFolder()->children->isEmpty());
}

TEST_F(FolderAccess, ActivationRenewsAccess) {
    TemporaryLibrary library;
    MediaLibraryViewModel& vm = makeViewModel();
    EXPECT_TRUE(capturedLines([&] { vm.refreshSecurityScopeAccess(); }).isEmpty());
    vm.openFolder(library.rootUrl());
    settle();

    QStringList lines = capturedLines([&] { vm.refreshSecurityScopeAccess(); });
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Refreshing security scope access for: ") +
                                      library.root(),
                                  QStringLiteral("Access refresh success: true")}));
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 1);

    QDir(library.root()).removeRecursively();
    lines = capturedLines([&] { vm.refreshSecurityScopeAccess(); });
    EXPECT_EQ(lines.value(1), QStringLiteral("Access refresh success: false"));
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 0);
    settle();
}

TEST_F(FolderAccess, ReleasingTheViewModelStopsAccess) {
    TemporaryLibrary library;
    makeViewModel().openFolder(library.rootUrl());
    settle();
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 1);
    destroyViewModel();
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 0);
}

using UnloadFolder = ViewModelTest;

TEST_F(UnloadFolder, ForgetsTheFolderItsKeysAndTheCache) {
    TemporaryLibrary library;
    fillLibrary(library);
    MediaLibraryViewModel& vm = makeViewModel();
    vm.acceptChosenFolder(library.rootUrl());
    settle();
    vm.setSelectedFolder(vm.findItem(library.id(QStringLiteral("A"))));
    vm.loadFile(*vm.findItem(library.id(QStringLiteral("A/01.mp3"))), false);
    QSettings().setValue(kFilePath, library.path(QStringLiteral("A/01.mp3")));
    vm.setPlaybackQueue({*vm.findItem(library.id(QStringLiteral("B/03.mp3")))});
    vm.setCurrentTitle(QStringLiteral("Title"));
    const QString cacheFile = libraryStructureFile(library.rootUrl());
    ASSERT_TRUE(QFile::exists(cacheFile));

    vm.unloadFolder();

    EXPECT_EQ(vm.player(), nullptr);
    EXPECT_FALSE(vm.rootFolder().has_value());
    EXPECT_FALSE(vm.selectedFolder().has_value());
    EXPECT_FALSE(vm.selectedFolderID().has_value());
    EXPECT_TRUE(vm.flattenedFiles().isEmpty());
    EXPECT_FALSE(vm.selectedFile().has_value());
    EXPECT_FALSE(vm.selectedFileID().has_value());
    EXPECT_FALSE(vm.currentTitle().has_value());
    EXPECT_FALSE(vm.currentArtist().has_value());
    EXPECT_TRUE(vm.currentArtwork().isNull());
    EXPECT_FALSE(vm.currentRootURL().has_value());
    EXPECT_EQ(FolderGrant::accessCount(library.rootUrl()), 0);
    for (const QString& key : {kBookmark, kFolderPath, kFilePath})
        EXPECT_FALSE(QSettings().contains(key)) << key.toStdString();
    EXPECT_FALSE(QFile::exists(cacheFile));
    EXPECT_EQ(vm.playbackQueue().size(), 1);

    // The next start finds nothing to restore.
    settle();
    makeViewModel();
    settle();
    EXPECT_FALSE(viewModel().rootFolder().has_value());
}
