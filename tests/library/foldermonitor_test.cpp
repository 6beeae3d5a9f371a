#include "library/foldermonitor.h"
#include "libraryfixture.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using testsupport::waitUntil;

TEST(FolderMonitor, ReportsChangesOfTheFoldersOwnEntriesOnly) {
    TemporaryLibrary library;
    library.folder(QStringLiteral("Sub"));
    QObject owner;
    FolderMonitor* monitor = FolderMonitor::watch(library.root(), &owner);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->parent(), &owner);
    QSignalSpy changes(monitor, &FolderMonitor::changed);

    library.file(QStringLiteral("Sub/inside.mp3"));
    EXPECT_FALSE(waitUntil([&] { return changes.count() > 0; }, 500));

    library.file(QStringLiteral("new.mp3"));
    EXPECT_TRUE(waitUntil([&] { return changes.count() > 0; }, 3000));
}

TEST(FolderMonitor, CannotWatchAMissingFolderOrAFile) {
    TemporaryLibrary library;
    library.file(QStringLiteral("a.mp3"));
    QObject owner;
    EXPECT_EQ(FolderMonitor::watch(library.path(QStringLiteral("missing")), &owner), nullptr);
    EXPECT_EQ(FolderMonitor::watch(library.path(QStringLiteral("a.mp3")), &owner), nullptr);
    EXPECT_TRUE(owner.children().isEmpty());
}

TEST(FolderMonitor, DeletingTheMonitorEndsTheWatch) {
    TemporaryLibrary library;
    QObject owner;
    FolderMonitor* monitor = FolderMonitor::watch(library.root(), &owner);
    ASSERT_NE(monitor, nullptr);
    int changes = 0;
    QObject::connect(monitor, &FolderMonitor::changed, &owner, [&] { ++changes; });
    delete monitor;
    library.file(QStringLiteral("new.mp3"));
    EXPECT_FALSE(waitUntil([&] { return changes > 0; }, 500));
}
