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

// One line: `prefix` and more.
::testing::AssertionResult saysOnce(const QStringList& lines, const QString& prefix) {
    if (lines.size() == 1 && lines[0].startsWith(prefix) && lines[0].size() > prefix.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << lines.join('\n').toStdString();
}

enum Reader { Queue, Metadata };

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
    bool loads = false;
};

class DamagedCacheFile : public ::testing::TestWithParam<Damaged> {};

TEST_P(DamagedCacheFile, IsRefusedAndLeftAlone) {
    const Damaged& row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("global_queue.json"); // the queue's name
    writeFile(path, row.bytes);
    QStringList lines;
    EXPECT_EQ(loads(row.reader, path, &lines), row.loads);
    EXPECT_EQ(readFile(path), row.bytes);
    const char* why = row.reader == Queue
                          ? "[Cache] Failed to decode queue JSON: "
                          : "MetadataCacheManager: Failed to load cache (might be new): ";
    EXPECT_TRUE(row.loads || saysOnce(lines, why));
}

const QByteArray queue =
    R"({"queue":[{"url":"file:///a","isDirectory":false,"containsAudio":true}],"index":0})";

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedCacheFile,
    ::testing::Values(
        Damaged{"queue_intact", Queue, queue, true},
        Damaged{"queue_truncated", Queue, queue.left(queue.size() / 2)},
        Damaged{"queue_no_index", Queue, R"({"queue":[]})"},
        Damaged{"queue_text_index", Queue, R"({"queue":[],"index":"0"})"},
        Damaged{"queue_huge_index", Queue, R"({"queue":[],"index":3e9})"},
        Damaged{"queue_entry_without_containsAudio", Queue,
                QByteArray(queue).replace(R"(,"containsAudio":true)", "")},
        Damaged{"metadata_truncated", Metadata, R"({"file:///m/a.flac": {"title": )"},
        Damaged{"metadata_intact", Metadata, R"({"a":{"title":"A"}})", true},
        Damaged{"metadata_entry_not_object", Metadata, R"({"a":{"title":"A"},"b":[1]})"},
        Damaged{"metadata_year_not_text", Metadata, R"({"a":{"title":"A"},"b":{"year":1999}})"}),
    [](const auto& info) { return std::string(info.param.name); });

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

// A directory in a cache file's place: the save says so and leaves it as it was.
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

// A kill mid-save leaves one whole version written, never a part of one.
TEST_F(CacheManagerTest, AKillDuringASaveLeavesAReadableQueue) {
    // In the test's data home (in memory where possible): the rename is tested, not the disk.
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
            // The child's only thread saves as the writer does; says when the first is in.
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
        EXPECT_TRUE(loaded->second >= first && loaded->second < first + 1000) << loaded->second;
        EXPECT_TRUE(loaded->first == version(loaded->second)) << "round " << round;
    }
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
    EXPECT_EQ(
        QDir(root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList({"Artwork", "LibraryStructure", "Metadata", "PlaybackPositions", "Waveforms"}));
    EXPECT_FALSE(
        QDirIterator(root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories).hasNext());
}

CachedMetadata sample(const QString& title) {
    return {title, "Ann, Bo", std::nullopt, "FLAC", std::nullopt, "44.1 kHz", std::nullopt};
}

class MetadataCache : public CacheManagerTest {
protected:
    QString path() const { return root() + "/metadata_cache.json"; }
    std::unique_ptr<MetadataCacheManager> make(QStringList* lines) {
        std::unique_ptr<MetadataCacheManager> manager;
        *lines = capturedLines([&] { manager = std::make_unique<MetadataCacheManager>(path()); });
        return manager;
    }
};

// Saved as at the call, present keys only, no temporary left; back after a restart.
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

    // A background load: records inserted meanwhile win; an early save keeps the file's.
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
    const auto merged = make(&lines)->cache();
    EXPECT_EQ(merged.size(), 3) << "the early save dropped the file's records";
    EXPECT_EQ(merged.value("file:///m/a.flac").title, "A new");
}

} // namespace
