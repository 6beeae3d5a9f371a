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
    CachedMetadata metadata;
    metadata.title = title;
    metadata.artist = QStringLiteral("Ann, Bo");
    metadata.fileType = QStringLiteral("FLAC");
    metadata.sampleRate = QStringLiteral("44.1 kHz");
    return metadata;
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
    QTemporaryDir dir;
};

TEST(CachedMetadataJson, WritesOnlyPresentKeys) {
    CachedMetadata metadata;
    metadata.title = QStringLiteral("T");
    metadata.bitDepth = QStringLiteral("24bit");
    const QJsonObject object = QJsonDocument::fromJson(metadata.toJson()).object();
    EXPECT_EQ(object.keys(), (QStringList{"bitDepth", "title"}));
    EXPECT_EQ(object.value("bitDepth").toString(), "24bit");
}

TEST(CachedMetadataJson, RoundTripsEveryField) {
    const CachedMetadata metadata{"t", "a", "1999", "MP3", "16bit", "44.1 kHz", "3.2 MB"};
    const auto decoded =
        CachedMetadata::fromJsonObject(QJsonDocument::fromJson(metadata.toJson()).object());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, metadata);
}

TEST(CachedMetadataJson, EveryKeyIsOptionalButMustBeText) {
    const auto empty = CachedMetadata::fromJsonObject(QJsonObject());
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, CachedMetadata());
    QString error;
    EXPECT_FALSE(CachedMetadata::fromJsonObject(QJsonObject{{"year", 1999}}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(MetadataCache, MissingFileStartsEmptyAndSaysSo) {
    QStringList lines;
    auto manager = make(&lines);
    EXPECT_TRUE(manager->cache().isEmpty());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("MetadataCacheManager: Failed to load cache (might be new): "))
        << lines[0].toStdString();
    // The folder is made so that the first save can land.
    EXPECT_TRUE(QDir(dir.path() + "/OrrisMediaPlayer").exists());
}

TEST_F(MetadataCache, SavedEntriesComeBackAfterARestart) {
    {
        auto manager = make();
        manager->insert("file:///m/a.flac", sample("A"));
        manager->insert("file:///m/b%20c.mp3", sample("B"));
        manager->saveCache();
        AtomicFileWriter::shared().waitForIdle();
    }
    QStringList lines;
    auto reloaded = make(&lines);
    EXPECT_EQ(lines, QStringList{"MetadataCacheManager: Loaded 2 items from disk"});
    ASSERT_TRUE(reloaded->record("file:///m/b%20c.mp3"));
    EXPECT_EQ(*reloaded->record("file:///m/b%20c.mp3"), sample("B"));
    EXPECT_FALSE(reloaded->record("file:///m/other.mp3"));
}

TEST_F(MetadataCache, CorruptFileCountsAsAbsentAndIsRewritten) {
    writeFile(path(), "{\"file:///m/a.flac\": {\"title\": ");
    QStringList lines;
    auto manager = make(&lines);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("MetadataCacheManager: Failed to load cache (might be new): "));
    EXPECT_TRUE(manager->cache().isEmpty());

    manager->insert("file:///m/a.flac", sample("A"));
    manager->saveCache();
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(make()->cache().size(), 1);
}

TEST_F(MetadataCache, AnEntryOfTheWrongShapeFailsTheWholeFile) {
    writeFile(path(), R"({"file:///m/a.flac":{"title":"A"},"file:///m/b.flac":[1]})");
    QStringList lines;
    auto manager = make(&lines);
    EXPECT_TRUE(manager->cache().isEmpty());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("file:///m/b.flac")) << lines[0].toStdString();
}

// Start-up does not wait for a large cache file: it is decoded on a worker
// thread; records inserted meanwhile win, and an early save keeps the file's.
TEST_F(MetadataCache, BackgroundLoadKeepsWhatArrivesMeanwhile) {
    {
        auto manager = make();
        manager->insert("file:///m/a.flac", sample("A old"));
        manager->insert("file:///m/b.flac", sample("B"));
        manager->saveCache();
        AtomicFileWriter::shared().waitForIdle();
    }
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

TEST_F(MetadataCache, SaveWritesTheDictionaryAsItWasAtTheCall) {
    auto manager = make();
    manager->insert("file:///m/a.flac", sample("A"));
    manager->saveCache();
    // Changes after the call belong to the next save.
    manager->insert("file:///m/b.flac", sample("B"));
    AtomicFileWriter::shared().waitForIdle();
    const QJsonObject written = QJsonDocument::fromJson(readFile(path())).object();
    EXPECT_EQ(written.keys(), QStringList{"file:///m/a.flac"});
}

TEST_F(MetadataCache, ManySavesLandInCallOrder) {
    auto manager = make();
    for (int i = 0; i < 200; ++i) {
        manager->insert(QStringLiteral("file:///m/%1.flac").arg(i), sample(QString::number(i)));
        manager->saveCache();
    }
    AtomicFileWriter::shared().waitForIdle();
    auto reloaded = make();
    EXPECT_EQ(reloaded->cache().size(), 200);
    EXPECT_EQ(reloaded->record("file:///m/199.flac")->title, "199");
    // Only the final file is left: no temporary files beside it.
    EXPECT_EQ(QDir(dir.path() + "/OrrisMediaPlayer").entryList(QDir::Files),
              QStringList{"metadata_cache.json"});
}

TEST_F(MetadataCache, AFailedSaveIsReported) {
    // The cache folder's place is taken by a file, so nothing can be written there.
    writeFile(dir.path() + "/OrrisMediaPlayer", "not a folder");
    auto manager = make();
    manager->insert("file:///m/a.flac", sample("A"));
    const QStringList lines = capturedLines([&] {
        manager->saveCache();
        AtomicFileWriter::shared().waitForIdle();
    });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("MetadataCacheManager: Failed to save cache: "))
        << lines[0].toStdString();
    EXPECT_EQ(readFile(dir.path() + "/OrrisMediaPlayer"), "not a folder");
}

} // namespace
