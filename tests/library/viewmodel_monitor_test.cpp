#include "support/testsupport.h"
#include "viewmodelfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

using testsupport::capturedLines;
using testsupport::waitUntil;

namespace {
const QString kDebounceLine = QStringLiteral("Debounce complete. Triggering refresh.");
const QString kRefreshLine = QStringLiteral("Refreshing library...");

QString changeLine(const TemporaryLibrary& library) {
    return QStringLiteral("Detected file system change in: ") + library.root();
}

// Runs the event loop for `ms` milliseconds.
void runFor(int ms) {
    waitUntil([] { return false; }, ms);
}
} // namespace

using FolderWatch = ViewModelTest;

TEST_F(FolderWatch, BurstOfChangesGivesOneRefreshTwoSecondsAfterTheLast) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    installedTrees.clear();

    QElapsedTimer sinceLastChange;
    qint64 refreshAfterMs = -1;
    const QStringList lines = capturedLines([&] {
        for (int i = 0; i < 10; ++i) {
            library.file(QStringLiteral("new %1.mp3").arg(i));
            runFor(100);
        }
        sinceLastChange.start();
        waitUntil([&] { return !installedTrees.isEmpty(); }, 5000);
        refreshAfterMs = sinceLastChange.elapsed();
        runFor(2500); // no second refresh follows
    });

    EXPECT_GE(lines.count(changeLine(library)), 1);
    EXPECT_EQ(lines.count(kDebounceLine), 1);
    EXPECT_EQ(lines.count(kRefreshLine), 1);
    EXPECT_EQ(lines.indexOf(kRefreshLine), lines.indexOf(kDebounceLine) + 1);
    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_GE(refreshAfterMs, MediaLibraryViewModel::refreshDebounceMs - 150);
    EXPECT_LE(refreshAfterMs, MediaLibraryViewModel::refreshDebounceMs + 1500);
    EXPECT_EQ(vm.rootFolder()->children->size(), 11);
}

TEST_F(FolderWatch, ChangesInsideSubfoldersAreNotReported) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();

    const QStringList lines = capturedLines([&] {
        library.file(QStringLiteral("A/02.mp3"));
        runFor(700);
    });
    EXPECT_TRUE(lines.isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
}

TEST_F(FolderWatch, OpeningAnotherFolderEndsTheOldWatch) {
    TemporaryLibrary first;
    TemporaryLibrary second;
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(first.rootUrl());
    vm.openFolder(second.rootUrl());
    settle();

    QStringList lines = capturedLines([&] {
        first.file(QStringLiteral("old.mp3"));
        runFor(700);
    });
    EXPECT_TRUE(lines.isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();

    lines = capturedLines([&] {
        second.file(QStringLiteral("new.mp3"));
        waitUntil([&] { return !lines.isEmpty(); }, 700);
        runFor(300);
    });
    EXPECT_TRUE(lines.contains(changeLine(second)));
}

TEST_F(FolderWatch, AfterUnloadTheWatchStaysButTheRefreshDoesNothing) {
    TemporaryLibrary library;
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    vm.unloadFolder();
    installedTrees.clear();

    const QStringList lines = capturedLines([&] {
        library.file(QStringLiteral("new.mp3"));
        runFor(MediaLibraryViewModel::refreshDebounceMs + 600);
        settle();
    });

    EXPECT_GE(lines.count(changeLine(library)), 1);
    EXPECT_EQ(lines.count(kDebounceLine), 1);
    EXPECT_EQ(lines.count(kRefreshLine), 0);
    EXPECT_TRUE(installedTrees.isEmpty());
}

TEST_F(FolderWatch, DeletedRootGivesAnEmptyTree) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    vm.openFolder(library.rootUrl());
    settle();
    vm.setSelectedFolder(vm.findItem(library.id(QStringLiteral("A"))));
    installedTrees.clear();

    const QStringList lines = capturedLines([&] {
        QDir(library.root()).removeRecursively();
        waitUntil([&] { return !installedTrees.isEmpty(); }, 5000);
        settle();
    });

    EXPECT_TRUE(lines.contains(
        QStringLiteral("Error scanning directory Music: No such file or directory")));
    ASSERT_EQ(installedTrees.size(), 1);
    EXPECT_TRUE(vm.rootFolder()->children->isEmpty());
    EXPECT_EQ(vm.selectedFolderID(), library.id(QStringLiteral("A")));
}

TEST_F(FolderWatch, ChangesAfterTheViewModelIsGoneDoNothing) {
    TemporaryLibrary library;
    makeViewModel().openFolder(library.rootUrl());
    settle();
    destroyViewModel();
    const QStringList lines = capturedLines([&] {
        library.file(QStringLiteral("new.mp3"));
        runFor(500);
    });
    EXPECT_TRUE(lines.isEmpty());
}
