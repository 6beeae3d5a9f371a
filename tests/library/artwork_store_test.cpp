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
// chosen cover, the picture in its first track. Nobody hears the answer
// once the context asking for it is gone.
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

// The chain behind the playing track's artwork: the track's entry, the
// folder's, then image files beside the track by exactly these names.
TEST(ArtworkStore, TheCurrentArtworkFollowsItsChain) {
    struct Row {
        QColor trackEntry, folderEntry;
        QString files; // name:colour, an empty colour for an undecodable file
        QColor expected;
        bool placeholderTrack = false;
    };
    const Row rows[] = {
        {Qt::red, Qt::green, "folder.jpg:blue", Qt::red},
        {{}, Qt::green, "folder.jpg:blue", Qt::green},
        {{}, {}, "cover.JPG:yellow front.png:yellow Cover.jpg:white artwork.jpg:black", Qt::white},
        {{}, {}, "folder.jpg: cover.jpg:white", Qt::white},
        {{}, {}, "folder.png:white", {}},
        {Qt::red, {}, {}, {}, true},
    };
    MediaLibraryViewModel vm;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.files.toStdString());
        QTemporaryDir dir;
        const QUrl track = QUrl::fromLocalFile(dir.path() + "/01.mp3");
        const QUrl folder = folderUrlOf(track);
        QFile file(track.toLocalFile());
        // A file far larger than what is allocated behind it: not downloaded yet.
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) &&
                    (row.placeholderTrack ? file.resize(1 << 20) : file.write("audio") > 0));
        file.close();
        if (row.trackEntry.isValid())
            cacheArtwork(filledImage(row.trackEntry), track);
        if (row.folderEntry.isValid()) {
            cacheArtwork(filledImage(row.folderEntry), folder);
            waitForArtworkFiles();
            MediaCacheManager::shared().artworkMemoryCache().clear(); // the file counts
        }
        for (const QString& entry : row.files.split(' ', Qt::SkipEmptyParts)) {
            const QColor color(entry.section(':', 1));
            writeFile(dir.path() + '/' + entry.section(':', 0, 0),
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
        // A file found is stored for the folder a turn later.
        EXPECT_TRUE(!fromFile || memoryCachedArtwork(MediaCacheManager::shared(), folder).isNull());
        EXPECT_TRUE(!fromFile || waitUntil([&] {
            return centre(memoryCachedArtwork(MediaCacheManager::shared(), folder)) == row.expected;
        }));
    }
    waitForArtworkFiles();
}
