#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/artworkresolver.h"
#include "library/artworkstore.h"
#include "support/mediafixtures.h"

#include <QThreadPool>

using namespace testsupport;

static QColor centre(const QImage& image) {
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

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
}

// Memory, stored file, chosen cover, first track's picture; nobody hears the
// answer once the context asking is gone.
TEST(ArtworkStore, ResolvingAFolderFollowsItsChain) {
    struct Row {
        QColor memory, storedFile;
        QString cover; // a colour, or "broken" for an undecodable file
        bool embedded;
        QColor expected;
    };
    const Row rows[] = {
        {Qt::green, {}, "blue", true, Qt::green},
        {{}, Qt::yellow, "blue", true, Qt::yellow},
        {{}, {}, "blue", true, Qt::blue},
        {{}, {}, "broken", true, Qt::red},
        {{}, {}, {}, false, {}},
    };
    MediaCacheManager& manager = MediaCacheManager::shared();
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        QTemporaryDir dir;
        MediaItem folder = MediaItem::folder(dir.path());
        if (row.memory.isValid())
            cacheArtwork(filledImage(row.memory), folder.url());
        if (row.storedFile.isValid()) {
            cacheArtwork(filledImage(row.storedFile), folder.url());
            waitForArtworkFiles();
            manager.artworkMemoryCache().clear();
        }
        if (!row.cover.isEmpty()) {
            folder.artworkURL = QUrl::fromLocalFile(dir.path() + "/front.png");
            const QColor cover(row.cover);
            writeFile(folder.artworkURL->toLocalFile(),
                      cover.isValid() ? pngBytes(cover) : QByteArray("no image"));
        }
        folder.firstAudioFileURL = QUrl::fromLocalFile(dir.path() + "/01.m4a");
        AudioFixture fixture;
        fixture.coverPath = dir.path() + "/embedded.png";
        if (row.embedded)
            ASSERT_TRUE(makeImageFile(fixture.coverPath, {5, 5}, Qt::red) &&
                        makeAudioFile(folder.firstAudioFileURL->toLocalFile(), fixture));
        else
            writeFile(folder.firstAudioFileURL->toLocalFile(), "garbage audio");

        std::optional<QImage> result;
        bool heardLate = false;
        {
            QObject gone;
            resolveArtwork(folder, &gone, [&](const QImage&) { heardLate = true; });
        }
        QObject context;
        resolveArtwork(folder, &context, [&](const QImage& image) { result = image; });
        EXPECT_FALSE(result) << "the answer always comes later";
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();

        EXPECT_FALSE(heardLate);
        EXPECT_EQ(centre(*result), row.expected);
        EXPECT_EQ(centre(memoryCachedArtwork(manager, folder.url())), row.expected);
        waitForArtworkFiles();
        EXPECT_EQ(QFile::exists(artworkCacheFilePath(manager, folder.url())),
                  row.expected.isValid());
    }
}

// The playing track's artwork: the first of these names that decodes, read
// again each time, stored for the folder a turn later.
TEST(ArtworkStore, TheCurrentArtworkComesFromTheFirstImageFileThatDecodes) {
    QTemporaryDir dir;
    for (const QString entry : {"folder.jpg:", "folder.png:red", "cover.JPG:red", "front.png:red",
                                "Cover.jpg:white", "artwork.jpg:black"}) {
        const QColor color(entry.section(':', 1));
        writeFile(dir.filePath(entry.section(':', 0, 0)),
                  color.isValid() ? pngBytes(color) : QByteArray("not an image"));
    }
    const QUrl track = QUrl::fromLocalFile(dir.filePath("01.mp3"));
    writeFile(track.toLocalFile(), "audio");
    MediaLibraryViewModel vm;
    bool found = false;
    const QStringList lines = capturedLines([&] {
        found = vm.loadCurrentArtwork(track);
        vm.loadCurrentArtwork(track);
    });
    EXPECT_TRUE(found);
    EXPECT_EQ(centre(vm.currentArtwork()), QColor(Qt::white));
    EXPECT_EQ(lines, QStringList(2, "currentArtwork changed: Image set"));
    const auto folderEntry = [&] { return centre(cachedArtwork(folderUrlOf(track))); };
    EXPECT_FALSE(folderEntry().isValid());
    EXPECT_TRUE(waitUntil([&] { return folderEntry() == QColor(Qt::white); }));

    waitForArtworkFiles();
}
