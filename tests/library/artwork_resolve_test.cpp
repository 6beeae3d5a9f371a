#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkresolver.h"
#include "library/artworkstore.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class ResolveArtwork : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    // Runs the lookup to its end; the colour of the centre pixel, or nothing.
    std::optional<QImage> resolve(const MediaItem& item) {
        std::optional<QImage> result;
        QObject context;
        resolveArtwork(item, &context, [&](const QImage& image) { result = image; });
        EXPECT_FALSE(result) << "the answer always comes later";
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result;
    }
    static QImage stored(const MediaItem& item) {
        return memoryCachedArtwork(MediaCacheManager::shared(), item.url());
    }

    QTemporaryDir dir;
};

TEST_F(ResolveArtwork, TheStoreAnswersFirst) {
    MediaItem folder = MediaItem::folder(path("A"));
    QImage image(3, 3, QImage::Format_RGB32);
    image.fill(Qt::green);
    cacheArtwork(image, folder.url());
    ASSERT_TRUE(makeImageFile(path("A/folder.jpg"), {4, 4}, Qt::blue));
    folder.artworkURL = QUrl::fromLocalFile(path("A/folder.jpg"));
    const auto result = resolve(folder);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->cacheKey(), image.cacheKey());
}

TEST_F(ResolveArtwork, TheChosenCoverIsReadAndStored) {
    MediaItem folder = MediaItem::folder(path("B"));
    ASSERT_TRUE(makeImageFile(path("B/front.png"), {4, 4}, Qt::blue));
    folder.artworkURL = QUrl::fromLocalFile(path("B/front.png"));
    const auto result = resolve(folder);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->pixelColor(1, 1), QColor(Qt::blue));
    EXPECT_EQ(stored(folder).cacheKey(), result->cacheKey());
    waitForArtworkFiles();
    EXPECT_TRUE(QFile::exists(artworkCacheFilePath(MediaCacheManager::shared(), folder.url())));
}

TEST_F(ResolveArtwork, AFolderTakesThePictureOfItsFirstTrack) {
    ASSERT_TRUE(makeImageFile(path("embedded.png"), {5, 5}, Qt::red));
    AudioFixture fixture;
    fixture.coverPath = path("embedded.png");
    ASSERT_TRUE(makeAudioFile(path("C/01.m4a"), fixture));
    MediaItem folder = MediaItem::folder(path("C"), {MediaItem::audioFile(path("C/01.m4a"))});
    writeFile(path("C/broken.jpg"), "no image");
    folder.artworkURL = QUrl::fromLocalFile(path("C/broken.jpg")); // unreadable: next step
    folder.firstAudioFileURL = QUrl::fromLocalFile(path("C/01.m4a"));
    const auto result = resolve(folder);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->pixelColor(2, 2), QColor(Qt::red));
    EXPECT_EQ(stored(folder).pixelColor(2, 2), QColor(Qt::red)) << "under the folder's key";
}

TEST_F(ResolveArtwork, NothingFoundIsANullImage) {
    writeFile(path("D/01.mp3"), "garbage audio");
    MediaItem folder = MediaItem::folder(path("D"));
    folder.firstAudioFileURL = QUrl::fromLocalFile(path("D/01.mp3"));
    const auto result = resolve(folder);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->isNull());
    EXPECT_TRUE(stored(folder).isNull());
}

TEST_F(ResolveArtwork, APlaceholderIsNotOpened) {
    ASSERT_TRUE(makeImageFile(path("E/cover.png"), {4, 4}, Qt::blue));
    MediaItem folder = MediaItem::folder(path("E"));
    // A sparse cover: far larger than what is allocated behind it.
    QFile sparse(path("E/sparse.png"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(1 << 20));
    sparse.close();
    folder.artworkURL = QUrl::fromLocalFile(path("E/sparse.png"));
    const auto result = resolve(folder);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->isNull());
}

TEST_F(ResolveArtwork, NoAnswerOnceTheContextIsGone) {
    MediaItem folder = MediaItem::folder(path("F"));
    ASSERT_TRUE(makeImageFile(path("F/front.png"), {4, 4}, Qt::blue));
    folder.artworkURL = QUrl::fromLocalFile(path("F/front.png"));
    bool called = false;
    {
        QObject context;
        resolveArtwork(folder, &context, [&](const QImage&) { called = true; });
    }
    waitUntil([] { return false; }, 300);
    EXPECT_FALSE(called);
}

} // namespace
