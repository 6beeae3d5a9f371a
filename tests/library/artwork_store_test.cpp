#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/artworkresolver.h"
#include "library/artworkstore.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QColor centre(const QImage& image) {
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

// A file far larger than what is allocated behind it: not downloaded yet.
void writePlaceholder(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(1 << 20));
}

} // namespace

TEST(ArtworkStore, MemoryFirstThenAPngFileThatOutlivesTheProcess) {
    QTemporaryDir dir;
    MediaCacheManager manager(dir.path());
    const QUrl folder = QUrl::fromLocalFile("/music/Album");
    const QImage image = filledImage(Qt::green, {5, 4});
    cacheArtwork(manager, QImage(), folder);
    EXPECT_TRUE(memoryCachedArtwork(manager, folder).isNull()) << "a null image is not stored";
    cacheArtwork(manager, filledImage(Qt::red), folder);
    cacheArtwork(manager, image, folder);
    EXPECT_EQ(memoryCachedArtwork(manager, folder).cacheKey(), image.cacheKey());

    waitForArtworkFiles();
    const QByteArray file = readFile(artworkCacheFilePath(manager, folder));
    EXPECT_TRUE(file.startsWith("\x89PNG"));
    EXPECT_EQ(QImage::fromData(file).size(), QSize(5, 4));

    // A fresh process finds the file, decodes and remembers it.
    manager.artworkMemoryCache().clear();
    const QImage fromDisk = cachedArtwork(manager, folder);
    EXPECT_EQ(centre(fromDisk), QColor(Qt::green)) << "the later store wins";
    EXPECT_EQ(memoryCachedArtwork(manager, folder).cacheKey(), fromDisk.cacheKey());
    writeFile(artworkCacheFilePath(manager, folder), "\x89PNG but then nothing useful");
    EXPECT_EQ(cachedArtwork(manager, folder).cacheKey(), fromDisk.cacheKey()) << "memory wins";
    manager.artworkMemoryCache().clear();
    EXPECT_TRUE(cachedArtwork(manager, folder).isNull()) << "a damaged file is a miss";

    // The Artwork folder replaced by a file: the memory entry stays.
    QDir(dir.path() + "/Artwork").removeRecursively();
    writeFile(dir.path() + "/Artwork", "in the way");
    cacheArtwork(manager, image, folder);
    waitForArtworkFiles();
    EXPECT_EQ(memoryCachedArtwork(manager, folder).cacheKey(), image.cacheKey());
}

TEST(ArtworkStore, TheFolderOfATrackHasTheFolderItemsKey) {
    const QString folderPath = "/music/Ünïcode & Co #1";
    EXPECT_EQ(absoluteString(folderUrlOf(MediaItem::audioFile(folderPath + "/01 Song.mp3").url())),
              MediaItem::folder(folderPath).id());
    EXPECT_EQ(absoluteString(folderUrlOf(QUrl::fromLocalFile("/x.mp3"))), "file:///");
}

// The chain behind a folder tile: memory, the stored file, the folder's
// chosen cover, the picture in its first track.
TEST(ArtworkStore, ResolvingAFolderFollowsItsChain) {
    struct Row {
        const char* name;
        QColor memory, storedFile;
        const char* cover; // "good", "broken" or none
        bool embedded;
        QColor expected;
    };
    const Row rows[] = {
        {"memory", Qt::green, {}, "good", true, Qt::green},
        {"stored file", {}, Qt::yellow, "good", true, Qt::yellow},
        {"cover", {}, {}, "good", true, Qt::blue},
        {"embedded", {}, {}, "broken", true, Qt::red},
        {"nothing", {}, {}, nullptr, false, {}},
    };
    MediaCacheManager& manager = MediaCacheManager::shared();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        MediaItem folder = MediaItem::folder(dir.path());
        if (row.memory.isValid())
            cacheArtwork(filledImage(row.memory), folder.url());
        if (row.storedFile.isValid()) {
            cacheArtwork(filledImage(row.storedFile), folder.url());
            waitForArtworkFiles();
            manager.artworkMemoryCache().clear();
        }
        if (row.cover) {
            folder.artworkURL = QUrl::fromLocalFile(dir.path() + "/front.png");
            writeFile(dir.path() + "/front.png", QByteArray(row.cover) == "good"
                                                     ? pngBytes(Qt::blue)
                                                     : QByteArray("no image"));
        }
        folder.firstAudioFileURL = QUrl::fromLocalFile(dir.path() + "/01.m4a");
        if (row.embedded) {
            ASSERT_TRUE(makeImageFile(dir.path() + "/embedded.png", {5, 5}, Qt::red));
            AudioFixture fixture;
            fixture.coverPath = dir.path() + "/embedded.png";
            ASSERT_TRUE(makeAudioFile(dir.path() + "/01.m4a", fixture));
        } else {
            writeFile(dir.path() + "/01.m4a", "garbage audio");
        }

        std::optional<QImage> result;
        QObject context;
        resolveArtwork(folder, &context, [&](const QImage& image) { result = image; });
        EXPECT_FALSE(result) << "the answer always comes later";
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));

        EXPECT_EQ(centre(*result), row.expected);
        EXPECT_EQ(centre(memoryCachedArtwork(manager, folder.url())), row.expected);
        waitForArtworkFiles();
        EXPECT_EQ(QFile::exists(artworkCacheFilePath(manager, folder.url())),
                  row.expected.isValid());
    }
}

TEST(ArtworkStore, NoAnswerOnceTheContextIsGone) {
    QTemporaryDir dir;
    MediaItem folder = MediaItem::folder(dir.path());
    writeFile(dir.path() + "/front.png", pngBytes(Qt::blue));
    folder.artworkURL = QUrl::fromLocalFile(dir.path() + "/front.png");
    bool called = false;
    {
        QObject context;
        resolveArtwork(folder, &context, [&](const QImage&) { called = true; });
    }
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

// The chain behind the playing track's artwork: the track's entry, the
// folder's, then image files beside the track by exactly these names.
TEST(ArtworkStore, TheCurrentArtworkFollowsItsChain) {
    struct Row {
        const char* name;
        QColor trackEntry, folderEntry;
        QList<std::pair<QString, QColor>> files; // an invalid colour: undecodable
        QColor expected;
        bool placeholderTrack = false;
    };
    const QList<std::pair<QString, QColor>> folderJpg = {{"folder.jpg", Qt::blue}};
    const Row rows[] = {
        {"track entry", Qt::red, Qt::green, folderJpg, Qt::red},
        {"folder entry", {}, Qt::green, folderJpg, Qt::green},
        {"names in order",
         {},
         {},
         {{"cover.JPG", Qt::yellow},
          {"front.png", Qt::yellow},
          {"Cover.jpg", Qt::white},
          {"artwork.jpg", Qt::black}},
         Qt::white},
        {"undecodable", {}, {}, {{"folder.jpg", {}}, {"cover.jpg", Qt::white}}, Qt::white},
        {"only a png", {}, {}, {{"folder.png", Qt::white}}, {}},
        {"placeholder track", Qt::red, {}, {}, {}, true},
    };
    MediaLibraryViewModel vm;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QUrl track = QUrl::fromLocalFile(dir.path() + "/01.mp3");
        const QUrl folder = folderUrlOf(track);
        if (row.placeholderTrack)
            writePlaceholder(track.toLocalFile());
        else
            writeFile(track.toLocalFile(), "audio");
        if (row.trackEntry.isValid())
            cacheArtwork(filledImage(row.trackEntry), track);
        if (row.folderEntry.isValid()) {
            cacheArtwork(filledImage(row.folderEntry), folder);
            waitForArtworkFiles();
            MediaCacheManager::shared().artworkMemoryCache().clear(); // the file counts
        }
        for (const auto& [name, color] : row.files) {
            writeFile(dir.path() + '/' + name,
                      color.isValid() ? pngBytes(color) : QByteArray("not an image"));
        }
        vm.setCurrentArtwork(filledImage(Qt::gray));

        bool found = false;
        const QStringList lines = capturedLines([&] {
            found = vm.loadCurrentArtwork(track);
            vm.loadCurrentArtwork(track);
        });

        EXPECT_EQ(found, row.expected.isValid());
        EXPECT_EQ(centre(vm.currentArtwork()), found ? row.expected : QColor(Qt::gray));
        // A file found is read again each time; an entry is not shown again.
        const bool fromFile = found && !row.trackEntry.isValid() && !row.folderEntry.isValid();
        EXPECT_EQ(lines, QStringList(found + fromFile, "currentArtwork changed: Image set"));
        if (fromFile) {
            // A file found is stored for the folder a turn later.
            EXPECT_TRUE(memoryCachedArtwork(MediaCacheManager::shared(), folder).isNull());
            EXPECT_TRUE(waitUntil([&] {
                return centre(memoryCachedArtwork(MediaCacheManager::shared(), folder)) ==
                       row.expected;
            }));
        }
    }
    waitForArtworkFiles();
}
