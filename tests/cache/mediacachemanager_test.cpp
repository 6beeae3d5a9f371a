#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/persistedqueue.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace {

class CacheManagerTest : public ::testing::Test {
protected:
    QTemporaryDir temp;
    QString root() const { return temp.path() + "/OrrisMediaPlayer"; }

    QList<MediaItem> queueOf(int count) {
        QList<MediaItem> queue;
        for (int i = 0; i < count; ++i)
            queue << MediaItem::audioFile(QStringLiteral("/music/%1 #?.mp3").arg(i));
        return queue;
    }
};

TEST_F(CacheManagerTest, BuildsTheFiveSubdirectories) {
    MediaCacheManager manager(root());
    for (const char* name :
         {"Metadata", "Artwork", "Waveforms", "PlaybackPositions", "LibraryStructure"})
        EXPECT_TRUE(QDir(root() + "/" + name).exists()) << name;
}

TEST_F(CacheManagerTest, DefaultDirectoryFollowsXdgDataHome) {
    EXPECT_EQ(MediaCacheManager::defaultCacheDirectory(),
              qEnvironmentVariable("XDG_DATA_HOME") + "/OrrisMediaPlayer");
    EXPECT_EQ(MediaCacheManager::shared().cacheDirectory(),
              MediaCacheManager::defaultCacheDirectory());
}

TEST_F(CacheManagerTest, MissingQueueFile) {
    MediaCacheManager manager(root());
    std::optional<std::pair<QList<MediaItem>, int>> loaded;
    const QStringList lines = capturedLines([&] { loaded = manager.loadQueue(); });
    EXPECT_FALSE(loaded.has_value());
    EXPECT_EQ(lines, QStringList({"[Cache] No global queue file found."}));
}

TEST_F(CacheManagerTest, SavedQueueLoadsBackWithItsIndex) {
    MediaCacheManager manager(root());
    const QStringList saved = capturedLines([&] {
        manager.saveQueue(queueOf(3), 2);
        AtomicFileWriter::shared().waitForIdle();
    });
    EXPECT_EQ(saved, QStringList({"[Cache] Saved queue to disk. (3 items)"}));

    MediaCacheManager restarted(root());
    std::optional<std::pair<QList<MediaItem>, int>> loaded;
    const QStringList lines = capturedLines([&] { loaded = restarted.loadQueue(); });
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->first, queueOf(3));
    EXPECT_EQ(loaded->second, 2);
    EXPECT_EQ(lines, QStringList({"[Cache] Successfully loaded queue of 3 items at index 2"}));
}

TEST_F(CacheManagerTest, EmptyQueueAtIndexZeroLoads) {
    MediaCacheManager manager(root());
    writeFile(manager.queueFilePath(), R"({"queue":[],"index":0})");
    std::optional<std::pair<QList<MediaItem>, int>> loaded;
    const QStringList lines = capturedLines([&] { loaded = manager.loadQueue(); });
    ASSERT_TRUE(loaded.has_value());
    EXPECT_TRUE(loaded->first.isEmpty());
    EXPECT_EQ(lines, QStringList({"[Cache] Successfully loaded queue of 0 items at index 0"}));
}

TEST_F(CacheManagerTest, IndexOutsideTheQueueIsLoadedAsStored) {
    MediaCacheManager manager(root());
    writeFile(manager.queueFilePath(), PersistedQueue{queueOf(2), 7}.toJson());
    EXPECT_EQ(manager.loadQueue()->second, 7);
}

TEST_F(CacheManagerTest, UndecodableQueueFilesGiveTheDecodeMessage) {
    MediaCacheManager manager(root());
    const QByteArray good = PersistedQueue{queueOf(3), 1}.toJson();
    const QList<QByteArray> bad = {
        R"({"queue":[]})",                              // no index
        R"({"index":0})",                               // no queue
        R"({"queue":[],"index":"0"})",                  // mistyped index
        R"({"queue":[],"index":1.5})",                  // not an integer
        R"({"queue":[{"url":"file:///a"}],"index":0})", // malformed entry
        good.left(good.size() / 2),                     // truncated
        QByteArray("\x00\xff\xfe garbage", 12),
    };
    for (const QByteArray& bytes : bad) {
        writeFile(manager.queueFilePath(), bytes);
        std::optional<std::pair<QList<MediaItem>, int>> loaded;
        const QStringList lines = capturedLines([&] { loaded = manager.loadQueue(); });
        EXPECT_FALSE(loaded.has_value()) << bytes.toStdString();
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines[0].startsWith("[Cache] Failed to decode queue JSON: "))
            << lines[0].toStdString();
        EXPECT_GT(lines[0].size(), QString("[Cache] Failed to decode queue JSON: ").size());
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
    EXPECT_EQ(QDir(root()).entryList({"*.json*"}, QDir::Files | QDir::Hidden).size(), 0)
        << "no temporary file left behind";
}

TEST_F(CacheManagerTest, BurstOfSavesLeavesTheLastQueueOnDisk) {
    MediaCacheManager manager(root());
    for (int i = 1; i <= 200; ++i)
        manager.saveQueue(queueOf(i % 17 + 1), i);
    AtomicFileWriter::shared().waitForIdle();
    QString error;
    const auto stored = PersistedQueue::fromJson(readFile(manager.queueFilePath()), &error);
    ASSERT_TRUE(stored.has_value()) << error.toStdString();
    EXPECT_EQ(stored->index, 200);
    EXPECT_EQ(stored->queue, queueOf(200 % 17 + 1));
}

TEST_F(CacheManagerTest, ReaderNeverSeesAPartialQueueFile) {
    MediaCacheManager manager(root());
    manager.saveQueue(queueOf(1), 0);
    AtomicFileWriter::shared().waitForIdle();

    std::atomic<bool> stop = false;
    std::atomic<int> reads = 0, partial = 0;
    std::thread reader([&] {
        while (!stop) {
            QString error;
            const QByteArray bytes = readFile(manager.queueFilePath());
            if (!PersistedQueue::fromJson(bytes, &error))
                ++partial;
            ++reads;
        }
    });
    // Large queues make each write take long enough for reads to overlap it.
    for (int i = 0; i < 60; ++i) {
        manager.saveQueue(queueOf(2000 + i), i);
        AtomicFileWriter::shared().waitForIdle();
    }
    stop = true;
    reader.join();
    EXPECT_GT(reads.load(), 60);
    EXPECT_EQ(partial.load(), 0);
}

// A program killed in the middle of saving its queue leaves a queue file
// that reads back as one of the versions it wrote, never a part of one.
TEST_F(CacheManagerTest, AKillDuringASaveLeavesAReadableQueue) {
    // Beside the test's own data home, in memory where possible: what is
    // tested is the rename, not the disk.
    QTemporaryDir dir(qEnvironmentVariable("XDG_DATA_HOME") + "/killed-saves-XXXXXX");
    MediaCacheManager manager(dir.path());
    const QList<MediaItem> base = queueOf(1000);
    // Version v: the queue turned by v places, stored with index v.
    auto version = [&base](int v) {
        QList<MediaItem> queue = base;
        std::rotate(queue.begin(), queue.begin() + v % queue.size(), queue.end());
        return queue;
    };
    QRandomGenerator random(50);
    for (int round = 1; round <= 50; ++round) {
        const int first = round * 1000;
        int saved[2];
        ASSERT_EQ(pipe(saved), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Only this thread lives on in the child: it saves as the writer
            // thread does, encoding each version and writing it atomically,
            // and says when the first is in place.
            for (int v = first; v < first + 1000; ++v) {
                AtomicFileWriter::writeAtomically(manager.queueFilePath(),
                                                  PersistedQueue{version(v), v}.toJson());
                if (v == first && write(saved[1], "s", 1) != 1)
                    _exit(1);
            }
            _exit(0);
        }
        close(saved[1]);
        char byte = 0;
        const bool firstSaved = read(saved[0], &byte, 1) == 1;
        close(saved[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(30000)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(firstSaved && WIFSIGNALED(status)) << "round " << round;

        std::optional<std::pair<QList<MediaItem>, int>> loaded;
        capturedLines([&] { loaded = manager.loadQueue(); });
        ASSERT_TRUE(loaded.has_value()) << "round " << round;
        EXPECT_GE(loaded->second, first);
        EXPECT_LT(loaded->second, first + 1000);
        EXPECT_TRUE(loaded->first == version(loaded->second)) << "round " << round;
    }
}

TEST_F(CacheManagerTest, ClearCacheLeavesFiveEmptyDirectories) {
    MediaCacheManager manager(root());
    manager.artworkMemoryCache().insert("k", new QImage(2, 2, QImage::Format_RGB32));
    manager.saveQueue(queueOf(2), 0);
    AtomicFileWriter::shared().waitForIdle();
    writeFile(root() + "/Artwork/123.data", "png");
    writeFile(root() + "/metadata_cache.json", "{}");
    writeFile(root() + "/LibraryStructure/deep/nested.json", "{}");

    const QStringList lines = capturedLines([&] { manager.clearCache(); });
    EXPECT_EQ(lines, QStringList({"Cache directory removed successfully.",
                                  "Cache directories recreated."}));
    EXPECT_EQ(manager.artworkMemoryCache().count(), 0);
    const QStringList entries =
        QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(QSet<QString>(entries.begin(), entries.end()),
              QSet<QString>(
                  {"Metadata", "Artwork", "Waveforms", "PlaybackPositions", "LibraryStructure"}));
    for (const QString& name : entries)
        EXPECT_TRUE(QDir(root() + "/" + name).isEmpty()) << name.toStdString();
}

TEST_F(CacheManagerTest, ClearCacheWhenTheTreeIsGone) {
    MediaCacheManager manager(root());
    QDir(root()).removeRecursively();
    const QStringList lines = capturedLines([&] { manager.clearCache(); });
    EXPECT_EQ(lines, QStringList({"Cache directories recreated."}));
    EXPECT_TRUE(QDir(root() + "/LibraryStructure").exists());
}

TEST_F(CacheManagerTest, ClearCacheFailureStopsAndSaysSo) {
    // The cache root lies below a plain file, so no directory can be made.
    writeFile(temp.path() + "/plain", "x");
    MediaCacheManager manager(temp.path() + "/plain/OrrisMediaPlayer");
    const QStringList lines = capturedLines([&] { manager.clearCache(); });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Error clearing cache: ")) << lines[0].toStdString();
}

// Bounded by count and by decoded bytes; the newest entry always stays.
TEST_F(CacheManagerTest, ArtworkMemoryCacheIsBoundedByCountAndBytes) {
    const QImage cover(2000, 2000, QImage::Format_ARGB32); // 16 MB decoded, shared by the copies
    struct Case {
        QImage image;
        int inserted;
        int kept;
    };
    for (const Case& row : {Case{QImage(), 5100, 5000}, Case{cover, 100, 16}}) {
        MediaCacheManager manager(root());
        for (int i = 0; i < row.inserted; ++i)
            manager.putArtworkInMemory(QString::number(i), row.image);
        EXPECT_EQ(manager.artworkMemoryCache().count(), row.kept) << row.inserted;
        EXPECT_TRUE(manager.artworkMemoryCache().contains(QString::number(row.inserted - 1)));
    }
}

} // namespace
