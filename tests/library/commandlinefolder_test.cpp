#include "app/commandlinefolder.h"
#include "library/foldergrant.h"
#include "viewmodelfixture.h"

#include <QDir>
#include <QSettings>

using CommandLineFolder = ViewModelTest;

TEST_F(CommandLineFolder, OpensTheFolderAndStoresItsGrant) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    // A relative path with a trailing separator names the same folder.
    const QString previous = QDir::currentPath();
    QDir::setCurrent(library.path(QStringLiteral("A")));
    openCommandLineFolder(vm, {QStringLiteral("tolvane"), QStringLiteral("../")});
    QDir::setCurrent(previous);
    settle();

    EXPECT_EQ(vm.currentRootURL(), library.rootUrl());
    ASSERT_TRUE(vm.rootFolder().has_value());
    EXPECT_EQ(vm.rootFolder()->id(), library.id(QString()));
    QString error;
    const auto grant = FolderGrant::resolve(
        QSettings().value(QStringLiteral("SyncedFolderBookmark")).toByteArray(), &error);
    ASSERT_TRUE(grant.has_value()) << error.toStdString();
    EXPECT_EQ(grant->url, library.rootUrl());
}

TEST_F(CommandLineFolder, IgnoresAMissingArgumentOrSomethingElse) {
    TemporaryLibrary library;
    library.file(QStringLiteral("a.mp3"));
    MediaLibraryViewModel& vm = makeViewModel();
    openCommandLineFolder(vm, {QStringLiteral("tolvane")});
    openCommandLineFolder(vm, {QStringLiteral("tolvane"), library.path(QStringLiteral("a.mp3"))});
    openCommandLineFolder(vm, {QStringLiteral("tolvane"), library.path(QStringLiteral("none"))});
    settle();
    EXPECT_FALSE(vm.currentRootURL().has_value());
    EXPECT_FALSE(QSettings().contains(QStringLiteral("SyncedFolderBookmark")));
}
