#include "support/viewmodelfixture.h"

#include <QElapsedTimer>

using namespace vmtest;
using testsupport::waitUntil;

namespace {

const QString kDebounceLine = QStringLiteral("Debounce complete. Triggering refresh.");
const QString kRefreshLine = QStringLiteral("Refreshing library...");

class FolderWatch : public PlaybackFixture {
protected:
    // Opens the test library; the refresh follows changes after `debounceMs`.
    void open(int debounceMs = 100) {
        startViewModel().setRefreshDebounceMs(debounceMs);
        vm->openFolder(library->rootUrl());
        finishScans();
        installedTrees.clear();
        takeLines();
    }
};

using FolderWatchRealtime = FolderWatch;

} // namespace

TEST_F(FolderWatch, AfterUnloadTheRefreshDoesNothing) {
    open();
    vm->unloadFolder();
    installedTrees.clear();
    library->add("new.wav");
    QStringList lines;
    ASSERT_TRUE(waitUntil([&] { return (lines += takeLines()).contains(kDebounceLine); }));
    finishScans();
    EXPECT_FALSE((lines + takeLines()).contains(kRefreshLine));
    EXPECT_TRUE(installedTrees.isEmpty());
}

TEST_F(FolderWatch, ADeletedRootGivesAnEmptyTreeAndKeepsTheSelection) {
    open();
    vm->setSelectedFolder(vm->findItem(library->id("F")));
    QDir(library->path()).removeRecursively();
    ASSERT_TRUE(waitUntil([&] { return !installedTrees.isEmpty(); }));
    finishScans();
    EXPECT_TRUE(vm->rootFolder()->children->isEmpty());
    EXPECT_EQ(vm->selectedFolderID(), library->id("F"));
}

// The real wait: every change of a one-second burst restarts it.
TEST_F(FolderWatchRealtime, ABurstGivesOneRefreshTwoSecondsAfterItsLastChange) {
    open(MediaLibraryViewModel::refreshDebounceMs);
    QElapsedTimer sinceLastChange;
    for (int i = 0; i < 10; ++i) {
        library->add(QStringLiteral("new %1.wav").arg(i));
        sinceLastChange.start();
        waitUntil([] { return false; }, 100);
    }
    ASSERT_TRUE(waitUntil([&] { return !installedTrees.isEmpty(); }));
    const qint64 refreshAfterMs = sinceLastChange.elapsed();
    EXPECT_GE(refreshAfterMs, 1900);
    EXPECT_LE(refreshAfterMs, 3500);
    QStringList lines = takeLines();
    lines.removeDuplicates();
    EXPECT_EQ(lines, (QStringList{"Detected file system change in: " + library->path(),
                                  kDebounceLine, kRefreshLine}));
    EXPECT_TRUE(vm->findItem(library->id("new 9.wav")).has_value());
}
