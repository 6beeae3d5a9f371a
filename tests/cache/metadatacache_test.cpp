#include "cache/atomicfilewriter.h"
#include "cache/metadatacachemanager.h"
#include "support/testsupport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

CachedMetadata sample(const QString& title) {
    return {title, "Ann, Bo", std::nullopt, "FLAC", std::nullopt, "44.1 kHz", std::nullopt};
}

// Only present keys are written, and every key is optional when read.
TEST(CachedMetadataJson, RoundTripsWithOnlyThePresentKeys) {
    const CachedMetadata full{"t", "a", "1999", "MP3", "16bit", "44.1 kHz", "3.2 MB"};
    for (const CachedMetadata& metadata : {full, sample("T"), CachedMetadata()}) {
        const QJsonObject object = QJsonDocument::fromJson(metadata.toJson()).object();
        EXPECT_EQ(object.size(), metadata == full ? 7 : metadata.title ? 4 : 0);
        EXPECT_EQ(CachedMetadata::fromJsonObject(object), metadata);
    }
}

class MetadataCache : public ::testing::Test {
protected:
    QString path() const { return dir.path() + "/OrrisMediaPlayer/metadata_cache.json"; }
    std::unique_ptr<MetadataCacheManager> make(QStringList* lines = nullptr) {
        std::unique_ptr<MetadataCacheManager> manager;
        const QStringList printed =
            capturedLines([&] { manager = std::make_unique<MetadataCacheManager>(path()); });
        if (lines)
            *lines = printed;
        return manager;
    }
    void save(MetadataCacheManager& manager) {
        manager.saveCache();
        AtomicFileWriter::shared().waitForIdle();
    }
    QTemporaryDir dir;
};

TEST_F(MetadataCache, SavedEntriesComeBackAfterARestart) {
    QStringList lines;
    auto manager = make(&lines);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("MetadataCacheManager: Failed to load cache (might be new): "));
    manager->insert("file:///m/a.flac", sample("A"));
    manager->insert("file:///m/b%20c.mp3", sample("B"));
    save(*manager); // into the folder the first load made

    auto reloaded = make(&lines);
    EXPECT_EQ(lines, QStringList{"MetadataCacheManager: Loaded 2 items from disk"});
    EXPECT_EQ(reloaded->record("file:///m/b%20c.mp3"), sample("B"));
    EXPECT_FALSE(reloaded->record("file:///m/other.mp3"));
}

// Start-up does not wait for a large cache file: it is decoded on a worker
// thread; records inserted meanwhile win, and an early save keeps the file's.
TEST_F(MetadataCache, BackgroundLoadKeepsWhatArrivesMeanwhile) {
    auto first = make();
    first->insert("file:///m/a.flac", sample("A old"));
    first->insert("file:///m/b.flac", sample("B"));
    save(*first);
    std::unique_ptr<MetadataCacheManager> manager;
    const QStringList lines = capturedLines([&] {
        manager = std::make_unique<MetadataCacheManager>(
            path(), MetadataCacheManager::Loading::InBackground);
        EXPECT_FALSE(manager->isLoaded()) << "read on the calling thread";
        manager->insert("file:///m/a.flac", sample("A new"));
        manager->saveCache();
        ASSERT_TRUE(waitUntil([&] { return manager->isLoaded(); }));
        AtomicFileWriter::shared().waitForIdle();
    });
    EXPECT_EQ(lines, QStringList{"MetadataCacheManager: Loaded 2 items from disk"});
    const auto saved = make()->cache();
    EXPECT_EQ(saved.size(), 2) << "the early save dropped the file's records";
    EXPECT_EQ(saved.value("file:///m/a.flac").title, "A new");
}

// Each save writes the dictionary as it was at the call, and the saves land
// in call order, leaving no temporary file.
TEST_F(MetadataCache, SavesWriteTheCallsDictionaryInCallOrder) {
    auto manager = make();
    manager->insert("file:///m/a.flac", sample("A"));
    manager->saveCache();
    manager->insert("file:///m/b.flac", sample("B"));
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(QJsonDocument::fromJson(readFile(path())).object().keys(),
              QStringList{"file:///m/a.flac"});

    for (int i = 0; i < 200; ++i) {
        manager->insert(QStringLiteral("file:///m/%1.flac").arg(i), sample(QString::number(i)));
        manager->saveCache();
    }
    AtomicFileWriter::shared().waitForIdle();
    auto reloaded = make();
    EXPECT_EQ(reloaded->cache().size(), 202);
    EXPECT_EQ(reloaded->record("file:///m/199.flac")->title, "199");
    EXPECT_EQ(QDir(dir.path() + "/OrrisMediaPlayer").entryList(QDir::Files | QDir::Hidden),
              QStringList{"metadata_cache.json"});
}

TEST_F(MetadataCache, AFailedSaveIsReported) {
    // The cache folder's place is taken by a file, so nothing can be written there.
    writeFile(dir.path() + "/OrrisMediaPlayer", "not a folder");
    auto manager = make();
    manager->insert("file:///m/a.flac", sample("A"));
    const QStringList lines = capturedLines([&] { save(*manager); });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("MetadataCacheManager: Failed to save cache: "))
        << lines[0].toStdString();
    EXPECT_EQ(readFile(dir.path() + "/OrrisMediaPlayer"), "not a folder");
}

} // namespace
