#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/metadatacachemanager.h"
#include "cache/persistedqueue.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;

namespace {

// One line that starts with `prefix` and says more.
::testing::AssertionResult saysOnce(const QStringList& lines, const QString& prefix) {
    if (lines.size() == 1 && lines[0].startsWith(prefix) && lines[0].size() > prefix.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << lines.join('\n').toStdString();
}

// ---- Damaged queue and metadata files (the library tree's and the waveform's
// are tested with their owners) ----------------------------------------------

enum Reader { Queue, Metadata };

// Reads the cache file the way its owner does at start-up.
bool loads(Reader reader, const QString& path, QStringList* lines) {
    bool loaded = false;
    *lines = capturedLines([&] {
        if (reader == Queue)
            loaded = MediaCacheManager(QFileInfo(path).path()).loadQueue().has_value();
        else
            loaded = !MetadataCacheManager(path).cache().isEmpty();
    });
    return loaded;
}

struct Damaged {
    const char* name;
    Reader reader;
    QByteArray bytes;
    bool loads = false; // the intact files the other rows damage
};

class DamagedCacheFile : public ::testing::TestWithParam<Damaged> {};

// A damaged file counts as no cache, says why where its owner prints, and is
// left as it was (the next save replaces it).
TEST_P(DamagedCacheFile, IsRefusedAndLeftAlone) {
    const Damaged& row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("global_queue.json"); // the queue's name
    writeFile(path, row.bytes);
    QStringList lines;
    EXPECT_EQ(loads(row.reader, path, &lines), row.loads);
    EXPECT_EQ(readFile(path), row.bytes);
    if (!row.loads)
        EXPECT_TRUE(
            saysOnce(lines, row.reader == Queue
                                ? "[Cache] Failed to decode queue JSON: "
                                : "MetadataCacheManager: Failed to load cache (might be new): "));
}

const QByteArray queue =
    R"({"queue":[{"url":"file:///a","isDirectory":false,"containsAudio":true}],"index":0})";

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedCacheFile,
    ::testing::Values(
        Damaged{"queue_intact", Queue, queue, true},
        Damaged{"queue_truncated", Queue, queue.left(queue.size() / 2)},
        Damaged{"queue_binary", Queue, QByteArray("\x00\xff\xfe garbage", 12)},
        Damaged{"queue_array", Queue, "[]"}, Damaged{"queue_no_index", Queue, R"({"queue":[]})"},
        Damaged{"queue_no_queue", Queue, R"({"index":0})"},
        Damaged{"queue_text_index", Queue, R"({"queue":[],"index":"0"})"},
        Damaged{"queue_fraction_index", Queue, R"({"queue":[],"index":1.5})"},
        Damaged{"queue_huge_index", Queue, R"({"queue":[],"index":3e9})"},
        Damaged{"queue_entry_without_containsAudio", Queue,
                QByteArray(queue).replace(R"(,"containsAudio":true)", "")},
        Damaged{"metadata_truncated", Metadata, R"({"file:///m/a.flac": {"title": )"},
        Damaged{"metadata_intact", Metadata, R"({"a":{"title":"A"}})", true},
        Damaged{"metadata_array", Metadata, "[]"},
        Damaged{"metadata_entry_not_object", Metadata, R"({"a":{"title":"A"},"b":[1]})"},
        Damaged{"metadata_year_not_text", Metadata, R"({"a":{"title":"A"},"b":{"year":1999}})"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The stored queue and the cache tree ----------------------------------

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

// A directory in a cache file's place cannot be replaced by a file: the save
// says so where its owner prints and leaves the directory as it was.
TEST_F(CacheManagerTest, FailedWritesSaySoAndLeaveThePathAlone) {
    MediaCacheManager manager(root());
    const QString metadataFile = root() + "/metadata_cache.json";
    std::optional<MetadataCacheManager> metadata;
    capturedLines([&] { metadata.emplace(metadataFile); });
    for (const QString& path : {manager.queueFilePath(), metadataFile})
        QDir().mkpath(path + "/keep");
    metadata->insert("file:///m/a.flac", {});
    const QStringList lines = capturedLines([&] {
        manager.saveQueue(queueOf(5), 0);
        metadata->saveCache();
        AtomicFileWriter::shared().waitForIdle();
    });
    EXPECT_TRUE(saysOnce(lines.mid(0, 1), "[Cache] Failed to encode queue JSON: "));
    EXPECT_TRUE(saysOnce(lines.mid(1), "MetadataCacheManager: Failed to save cache: "));
    EXPECT_TRUE(QDir(manager.queueFilePath() + "/keep").exists());
    EXPECT_TRUE(QDir(metadataFile + "/keep").exists());
    EXPECT_EQ(QDir(root()).entryList(QDir::Files | QDir::Hidden), QStringList());
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
    writeFile(root() + "/global_queue.json", "{}");
    writeFile(root() + "/LibraryStructure/deep/nested.json", "{}");
    const QString removed = "Cache directory removed successfully.";
    const QString made = "Cache directories recreated.";
    EXPECT_EQ(capturedLines([&] { manager.clearCache(); }), QStringList({removed, made}));
    EXPECT_EQ(manager.artworkMemoryCache().count(), 0);
    EXPECT_EQ(
        QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({"Artwork", "LibraryStructure", "Metadata", "PlaybackPositions", "Waveforms"}));
    EXPECT_FALSE(
        QDirIterator(root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories).hasNext());

    QDir(root()).removeRecursively();
    EXPECT_EQ(capturedLines([&] { manager.clearCache(); }), QStringList({made}));
    EXPECT_TRUE(QDir(root() + "/LibraryStructure").exists());
    writeFile(temp.path() + "/plain", "x"); // below a plain file no directory can be made
    MediaCacheManager blocked(temp.path() + "/plain/OrrisMediaPlayer");
    EXPECT_TRUE(saysOnce(capturedLines([&] { blocked.clearCache(); }), "Error clearing cache: "));
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

// ---- The track information of every file shown so far ---------------------

CachedMetadata sample(const QString& title) {
    return {title, "Ann, Bo", std::nullopt, "FLAC", std::nullopt, "44.1 kHz", std::nullopt};
}

class MetadataCache : public CacheManagerTest {
protected:
    QString path() const { return root() + "/metadata_cache.json"; }
    std::unique_ptr<MetadataCacheManager> make(QStringList* lines = nullptr) {
        std::unique_ptr<MetadataCacheManager> manager;
        const QStringList printed =
            capturedLines([&] { manager = std::make_unique<MetadataCacheManager>(path()); });
        if (lines)
            *lines = printed;
        return manager;
    }
};

// Saved records come back after a restart: each save writes the dictionary
// as it was at its call, only present keys are written, every key is optional
// when read, and no temporary file is left. Then a load in the background.
TEST_F(MetadataCache, SavedEntriesComeBackAfterARestart) {
    QStringList lines;
    auto manager = make(&lines);
    EXPECT_TRUE(saysOnce(lines, "MetadataCacheManager: Failed to load cache (might be new): "));
    manager->insert("file:///m/a.flac", {"t", "a", "1999", "MP3", "16bit", "44.1 kHz", "3.2 MB"});
    manager->insert("file:///m/b%20c.mp3", sample("B"));
    manager->insert("file:///m/c.wav", {});
    const auto saved = manager->cache();
    manager->saveCache(); // into the folder the first load made
    manager->insert("file:///m/d.flac", sample("D"));
    AtomicFileWriter::shared().waitForIdle();
    const QJsonObject written = QJsonDocument::fromJson(readFile(path())).object();
    EXPECT_EQ(written.value("file:///m/b%20c.mp3").toObject().keys(),
              QStringList({"artist", "fileType", "sampleRate", "title"}));
    EXPECT_EQ(QDir(root()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"metadata_cache.json"});
    auto reloaded = make(&lines);
    EXPECT_EQ(lines, QStringList{"MetadataCacheManager: Loaded 3 items from disk"});
    EXPECT_EQ(reloaded->cache(), saved);

    // Start-up does not wait for a large cache file: it is decoded on a worker
    // thread; records inserted meanwhile win, and an early save keeps the file's.
    lines = capturedLines([&] {
        manager = std::make_unique<MetadataCacheManager>(
            path(), MetadataCacheManager::Loading::InBackground);
        EXPECT_FALSE(manager->isLoaded()) << "read on the calling thread";
        manager->insert("file:///m/a.flac", sample("A new"));
        manager->saveCache();
        ASSERT_TRUE(waitUntil([&] { return manager->isLoaded(); }));
        AtomicFileWriter::shared().waitForIdle();
    });
    EXPECT_EQ(lines, QStringList{"MetadataCacheManager: Loaded 3 items from disk"});
    const auto merged = make()->cache();
    EXPECT_EQ(merged.size(), 3) << "the early save dropped the file's records";
    EXPECT_EQ(merged.value("file:///m/a.flac").title, "A new");
}

} // namespace
