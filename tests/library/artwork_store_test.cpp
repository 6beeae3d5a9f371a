#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "library/mediaitem.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QImage filled(QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

class ArtworkStore : public ::testing::Test {
protected:
    void SetUp() override { manager = std::make_unique<MediaCacheManager>(dir.path()); }
    QTemporaryDir dir;
    std::unique_ptr<MediaCacheManager> manager;
    const QUrl folder = QUrl::fromLocalFile("/music/Album");
};

TEST_F(ArtworkStore, StoresInMemoryAndAsPngFile) {
    const QImage image = filled({5, 4}, Qt::green);
    cacheArtwork(*manager, image, folder);
    const QString file = artworkCacheFilePath(*manager, folder);
    EXPECT_TRUE(file.startsWith(dir.path() + "/Artwork/"));
    EXPECT_TRUE(file.endsWith(".data"));

    EXPECT_EQ(memoryCachedArtwork(*manager, folder).cacheKey(), image.cacheKey())
        << "the memory level holds the very image";
    waitForArtworkFiles();
    EXPECT_TRUE(readFile(file).startsWith("\x89PNG"));
    const QImage decoded = QImage::fromData(readFile(file));
    EXPECT_EQ(decoded.size(), QSize(5, 4));
    EXPECT_EQ(decoded.pixelColor(0, 0), QColor(Qt::green));
}

TEST_F(ArtworkStore, LooksInMemoryFirstThenOnDisk) {
    cacheArtwork(*manager, filled({3, 3}, Qt::red), folder);
    waitForArtworkFiles();

    // A fresh process: the file is found, decoded and remembered.
    manager->artworkMemoryCache().clear();
    const QImage fromDisk = cachedArtwork(*manager, folder);
    ASSERT_FALSE(fromDisk.isNull());
    EXPECT_EQ(fromDisk.pixelColor(1, 1), QColor(Qt::red));
    EXPECT_EQ(memoryCachedArtwork(*manager, folder).cacheKey(), fromDisk.cacheKey());

    // The memory level wins even when the file says otherwise.
    writeFile(artworkCacheFilePath(*manager, folder), readFile(":/nothing"));
    EXPECT_EQ(cachedArtwork(*manager, folder).cacheKey(), fromDisk.cacheKey());
}

TEST_F(ArtworkStore, UnreadableOrGarbageFilesAreMisses) {
    EXPECT_TRUE(cachedArtwork(*manager, folder).isNull());
    writeFile(artworkCacheFilePath(*manager, folder), "\x89PNG but then nothing useful");
    EXPECT_TRUE(cachedArtwork(*manager, folder).isNull());
    EXPECT_TRUE(memoryCachedArtwork(*manager, folder).isNull());
}

TEST_F(ArtworkStore, ALaterStoreReplacesTheEntry) {
    cacheArtwork(*manager, filled({2, 2}, Qt::red), folder);
    cacheArtwork(*manager, filled({2, 2}, Qt::blue), folder);
    waitForArtworkFiles();
    manager->artworkMemoryCache().clear();
    EXPECT_EQ(cachedArtwork(*manager, folder).pixelColor(0, 0), QColor(Qt::blue));
}

TEST_F(ArtworkStore, ANullImageIsNotStored) {
    cacheArtwork(*manager, QImage(), folder);
    waitForArtworkFiles();
    EXPECT_FALSE(QFile::exists(artworkCacheFilePath(*manager, folder)));
    EXPECT_TRUE(memoryCachedArtwork(*manager, folder).isNull());
}

TEST_F(ArtworkStore, AWriteFailureStillLeavesTheMemoryEntry) {
    // The Artwork folder is replaced by a file: the PNG cannot be written.
    QDir(dir.path() + "/Artwork").removeRecursively();
    writeFile(dir.path() + "/Artwork", "in the way");
    const QImage image = filled({2, 2}, Qt::red);
    cacheArtwork(*manager, image, folder);
    waitForArtworkFiles();
    EXPECT_EQ(memoryCachedArtwork(*manager, folder).cacheKey(), image.cacheKey());
}

TEST(ArtworkKeys, TheFolderOfATrackIsTheFolderItemItself) {
    QTemporaryDir dir;
    const QString folderPath = dir.path() + "/Ünïcode & Co #1";
    const MediaItem folder = MediaItem::folder(folderPath);
    const MediaItem track = MediaItem::audioFile(folderPath + "/01 Song.mp3");
    EXPECT_EQ(absoluteString(folderUrlOf(track.url())), folder.id());
    EXPECT_EQ(absoluteString(folderUrlOf(QUrl::fromLocalFile("/x.mp3"))), "file:///");
}

TEST(ArtworkKeys, UsableImagesHaveArea) {
    EXPECT_FALSE(isUsableImage(QImage()));
    EXPECT_TRUE(isUsableImage(filled({1, 1}, Qt::red)));
    EXPECT_EQ(folderArtworkCandidates,
              (QStringList{"folder.jpg", "cover.jpg", "Folder.jpg", "Cover.jpg", "artwork.jpg"}));
}

} // namespace
