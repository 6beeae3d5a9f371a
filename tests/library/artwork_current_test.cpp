#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QImage filled(QColor color) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

class CurrentArtwork : public ::testing::Test {
protected:
    void SetUp() override {
        vm = std::make_unique<MediaLibraryViewModel>();
        writeFile(trackPath(), "audio");
    }
    // Nothing of this test may still be encoding or writing when the next
    // one starts or the process ends.
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    QString trackPath() const { return dir.path() + "/Album/01.mp3"; }
    QUrl track() const { return QUrl::fromLocalFile(trackPath()); }
    QUrl folder() const { return folderUrlOf(track()); }
    QString inFolder(const QString& name) const { return dir.path() + "/Album/" + name; }
    QColor shownColor() const { return vm->currentArtwork().pixelColor(1, 1); }

    QTemporaryDir dir;
    std::unique_ptr<MediaLibraryViewModel> vm;
};

TEST_F(CurrentArtwork, TheTrackEntryWinsOverTheFolderEntry) {
    cacheArtwork(filled(Qt::red), track());
    cacheArtwork(filled(Qt::green), folder());
    ASSERT_TRUE(makeImageFile(inFolder("folder.jpg"), {4, 4}, Qt::blue));
    QStringList lines;
    bool found = false;
    lines = capturedLines([&] { found = vm->loadCurrentArtwork(track()); });
    EXPECT_TRUE(found);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    EXPECT_EQ(lines, QStringList{"currentArtwork changed: Image set"});
}

TEST_F(CurrentArtwork, TheFolderEntryComesNext) {
    cacheArtwork(filled(Qt::green), folder());
    ASSERT_TRUE(makeImageFile(inFolder("folder.jpg"), {4, 4}, Qt::blue));
    EXPECT_TRUE(vm->loadCurrentArtwork(track()));
    EXPECT_EQ(shownColor(), QColor(Qt::green));
}

TEST_F(CurrentArtwork, AStoredFileCountsAfterARestart) {
    cacheArtwork(filled(Qt::green), folder());
    waitForArtworkFiles();
    MediaCacheManager::shared().artworkMemoryCache().clear();
    EXPECT_TRUE(vm->loadCurrentArtwork(track()));
    EXPECT_EQ(shownColor(), QColor(Qt::green));
}

TEST_F(CurrentArtwork, CandidatesAreTriedInOrderByExactName) {
    // "Cover.jpg" is the fourth name; "cover.JPG" and a PNG are no candidates.
    ASSERT_TRUE(makeImageFile(inFolder("cover.JPG"), {4, 4}, Qt::yellow));
    ASSERT_TRUE(makeImageFile(inFolder("front.png"), {4, 4}, Qt::yellow));
    ASSERT_TRUE(makeImageFile(inFolder("Cover.jpg"), {4, 4}, Qt::white));
    ASSERT_TRUE(makeImageFile(inFolder("artwork.jpg"), {4, 4}, Qt::black));
    EXPECT_TRUE(vm->loadCurrentArtwork(track()));
    EXPECT_EQ(shownColor(), QColor(Qt::white));

    // The winner is stored for the folder a turn later.
    EXPECT_TRUE(memoryCachedArtwork(MediaCacheManager::shared(), folder()).isNull());
    ASSERT_TRUE(waitUntil(
        [&] { return !memoryCachedArtwork(MediaCacheManager::shared(), folder()).isNull(); }));
    waitForArtworkFiles();
    EXPECT_TRUE(QFile::exists(artworkCacheFilePath(MediaCacheManager::shared(), folder())));
}

TEST_F(CurrentArtwork, AnUndecodableCandidateIsPassedOver) {
    writeFile(inFolder("folder.jpg"), "not an image");
    ASSERT_TRUE(makeImageFile(inFolder("cover.jpg"), {4, 4}, Qt::white));
    EXPECT_TRUE(vm->loadCurrentArtwork(track()));
    EXPECT_EQ(shownColor(), QColor(Qt::white));
}

TEST_F(CurrentArtwork, OnlyAPngBesideTheTrackFindsNothing) {
    ASSERT_TRUE(makeImageFile(inFolder("folder.png"), {4, 4}, Qt::white));
    vm->setCurrentArtwork(filled(Qt::gray));
    QStringList lines;
    bool found = true;
    lines = capturedLines([&] { found = vm->loadCurrentArtwork(track()); });
    EXPECT_FALSE(found);
    EXPECT_TRUE(lines.isEmpty()) << "the caller clears the artwork, not this operation";
    EXPECT_EQ(shownColor(), QColor(Qt::gray));
}

TEST_F(CurrentArtwork, TheSameImageIsNotPublishedAgain) {
    cacheArtwork(filled(Qt::green), folder());
    const QStringList lines = capturedLines([&] {
        vm->loadCurrentArtwork(track());
        vm->loadCurrentArtwork(track());
    });
    EXPECT_EQ(lines, QStringList{"currentArtwork changed: Image set"});
}

TEST_F(CurrentArtwork, ANotDownloadedTrackIsNotLookedUp) {
    // A sparse file: a large size with nothing allocated behind it.
    QFile file(trackPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_TRUE(file.resize(1 << 20));
    file.close();
    cacheArtwork(filled(Qt::red), track());
    EXPECT_FALSE(vm->loadCurrentArtwork(track()));
    EXPECT_TRUE(vm->currentArtwork().isNull());
}

} // namespace
