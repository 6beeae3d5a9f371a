#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/persistedqueue.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QList<MediaItem> queueOf(int count) {
    QList<MediaItem> queue;
    for (int i = 0; i < count; ++i)
        queue << MediaItem::audioFile(QStringLiteral("/music/%1 #?.mp3").arg(i));
    return queue;
}

class CacheManagerTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString root() const { return temp.path() + "/OrrisMediaPlayer"; }
};

// The index is kept as stored, even outside the queue: the view model clamps it.
TEST_F(CacheManagerTest, SavedQueueLoadsBackAfterARestart) {
    EXPECT_EQ(capturedLines([&] { MediaCacheManager(root()).loadQueue(); }),
              QStringList({"[Cache] No global queue file found."}));
    for (const auto& [count, index] : {std::pair{3, 2}, std::pair{0, 0}, std::pair{2, 7}}) {
        const QStringList saved = capturedLines([&] {
            MediaCacheManager saving(root()); // until the write ends
            saving.saveQueue(queueOf(count), index);
            AtomicFileWriter::shared().waitForIdle();
        });
        EXPECT_EQ(saved, QStringList(
                             QStringLiteral("[Cache] Saved queue to disk. (%1 items)").arg(count)));
        std::optional<std::pair<QList<MediaItem>, int>> loaded;
        const QStringList lines =
            capturedLines([&] { loaded = MediaCacheManager(root()).loadQueue(); });
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->first, queueOf(count));
        EXPECT_EQ(loaded->second, index);
        EXPECT_EQ(
            lines,
            QStringList(QStringLiteral("[Cache] Successfully loaded queue of %1 items at index %2")
                            .arg(count)
                            .arg(index)));
    }
}

TEST_F(CacheManagerTest, FailedWriteSaysSoAndLeavesThePathAlone) {
    MediaCacheManager manager(root());
    // A directory in the queue file's place cannot be replaced by a file.
    QDir().mkpath(manager.queueFilePath() + "/keep");
    const QStringList lines = capturedLines([&] {
        manager.saveQueue(queueOf(5), 0);
        AtomicFileWriter::shared().waitForIdle();
    });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("[Cache] Failed to encode queue JSON: "))
        << lines[0].toStdString();
    EXPECT_TRUE(QDir(manager.queueFilePath() + "/keep").exists());
    EXPECT_EQ(QDir(root()).entryList({"*.json*"}, QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(CacheManagerTest, ClearCacheLeavesFiveEmptyDirectories) {
    MediaCacheManager manager(root());
    manager.artworkMemoryCache().insert("k", new QImage(2, 2, QImage::Format_RGB32));
    writeFile(root() + "/global_queue.json", "{}");
    writeFile(root() + "/LibraryStructure/deep/nested.json", "{}");
    EXPECT_EQ(
        capturedLines([&] { manager.clearCache(); }),
        QStringList({"Cache directory removed successfully.", "Cache directories recreated."}));
    EXPECT_EQ(manager.artworkMemoryCache().count(), 0);
    const QStringList entries =
        QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    EXPECT_EQ(entries, QStringList({"Artwork", "LibraryStructure", "Metadata", "PlaybackPositions",
                                    "Waveforms"}));
    for (const QString& name : entries)
        EXPECT_TRUE(QDir(root() + "/" + name).isEmpty()) << name.toStdString();

    QDir(root()).removeRecursively();
    EXPECT_EQ(capturedLines([&] { manager.clearCache(); }),
              QStringList({"Cache directories recreated."}));
    EXPECT_TRUE(QDir(root() + "/LibraryStructure").exists());

    // Below a plain file no directory can be made.
    writeFile(temp.path() + "/plain", "x");
    MediaCacheManager blocked(temp.path() + "/plain/OrrisMediaPlayer");
    const QStringList lines = capturedLines([&] { blocked.clearCache(); });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Error clearing cache: ")) << lines[0].toStdString();
}

// Bounded by count and by decoded bytes; the newest entry always stays.
TEST_F(CacheManagerTest, ArtworkMemoryCacheIsBoundedByCountAndBytes) {
    const QImage cover(2000, 2000, QImage::Format_ARGB32); // 16 MB decoded, shared by the copies
    for (const auto& [image, inserted, kept] :
         {std::tuple{QImage(), 5100, 5000}, std::tuple{cover, 100, 16}}) {
        MediaCacheManager manager(root());
        for (int i = 0; i < inserted; ++i)
            manager.putArtworkInMemory(QString::number(i), image);
        EXPECT_EQ(manager.artworkMemoryCache().count(), kept) << inserted;
        EXPECT_TRUE(manager.artworkMemoryCache().contains(QString::number(inserted - 1)));
    }
}

} // namespace
