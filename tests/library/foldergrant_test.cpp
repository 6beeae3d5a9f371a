#include "library/foldergrant.h"
#include "libraryfixture.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(FolderGrant, ResolvesToTheSameFolder) {
    TemporaryLibrary library;
    QString error;
    const auto grant = FolderGrant::create(library.rootUrl(), &error);
    ASSERT_TRUE(grant.has_value()) << error.toStdString();

    const auto resolved = FolderGrant::resolve(grant->toBytes(), &error);
    ASSERT_TRUE(resolved.has_value()) << error.toStdString();
    EXPECT_EQ(resolved->url, library.rootUrl());
    EXPECT_FALSE(resolved->isStale);
}

TEST(FolderGrant, TrailingSeparatorMakesNoDifference) {
    TemporaryLibrary library;
    QString error;
    const auto grant =
        FolderGrant::create(QUrl::fromLocalFile(library.root() + QLatin1Char('/')), &error);
    ASSERT_TRUE(grant.has_value());
    EXPECT_EQ(FolderGrant::resolve(grant->toBytes(), &error)->url, library.rootUrl());
}

TEST(FolderGrant, IsStaleWhenThePathHoldsAnotherFolder) {
    TemporaryLibrary library;
    QString error;
    const QByteArray bytes = FolderGrant::create(library.rootUrl(), &error)->toBytes();
    ASSERT_TRUE(QDir().rename(library.root(), library.root() + QStringLiteral(".old")));
    ASSERT_TRUE(QDir().mkpath(library.root()));

    const auto resolved = FolderGrant::resolve(bytes, &error);
    ASSERT_TRUE(resolved.has_value()) << error.toStdString();
    EXPECT_TRUE(resolved->isStale);
    EXPECT_EQ(resolved->url, library.rootUrl());
}

TEST(FolderGrant, FailsWhenTheFolderIsGone) {
    TemporaryLibrary library;
    QString error;
    const QByteArray bytes = FolderGrant::create(library.rootUrl(), &error)->toBytes();
    library.remove(QString());
    QDir(library.root()).removeRecursively();

    EXPECT_FALSE(FolderGrant::resolve(bytes, &error).has_value());
    EXPECT_EQ(error, library.root() + QStringLiteral(": No such file or directory"));
}

TEST(FolderGrant, FailsOnUnreadableBytes) {
    TemporaryLibrary library;
    QString error;
    const QByteArray bytes = FolderGrant::create(library.rootUrl(), &error)->toBytes();
    for (const QByteArray& garbage :
         {QByteArray(), QByteArray("not a grant"), bytes.left(bytes.size() - 3), bytes + "x"}) {
        error.clear();
        EXPECT_FALSE(FolderGrant::resolve(garbage, &error).has_value());
        EXPECT_EQ(error, QStringLiteral("The folder grant is not readable."));
    }
}

TEST(FolderGrant, CannotBeCreatedForAFileOrAMissingFolder) {
    TemporaryLibrary library;
    library.file(QStringLiteral("a.mp3"));
    QString error;
    EXPECT_FALSE(FolderGrant::create(QUrl::fromLocalFile(library.path("a.mp3")), &error));
    EXPECT_EQ(error, library.path("a.mp3") + QStringLiteral(": Not a directory"));
    EXPECT_FALSE(FolderGrant::create(QUrl::fromLocalFile(library.path("none")), &error));
    EXPECT_FALSE(FolderGrant::create(QUrl(QStringLiteral("https://example.org/x")), &error));
}

TEST(FolderGrant, CountsAccessesHeld) {
    TemporaryLibrary library;
    const QUrl root = library.rootUrl();
    EXPECT_EQ(FolderGrant::accessCount(root), 0);
    EXPECT_TRUE(FolderGrant::startAccessing(root));
    EXPECT_TRUE(
        FolderGrant::startAccessing(QUrl::fromLocalFile(library.root() + QLatin1Char('/'))));
    EXPECT_EQ(FolderGrant::accessCount(root), 2);
    FolderGrant::stopAccessing(root);
    FolderGrant::stopAccessing(root);
    FolderGrant::stopAccessing(root);
    EXPECT_EQ(FolderGrant::accessCount(root), 0);
    EXPECT_FALSE(FolderGrant::startAccessing(QUrl::fromLocalFile(library.path("missing"))));
    EXPECT_EQ(FolderGrant::accessCount(QUrl::fromLocalFile(library.path("missing"))), 0);
}
