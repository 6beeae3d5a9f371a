#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "cache/metadatacachemanager.h"
#include "library/artworkstore.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QImage filled(QColor color) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

class TrackInfo : public ::testing::Test {
protected:
    void SetUp() override { vm = std::make_unique<MediaLibraryViewModel>(); }

    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    MediaItem track(const QString& relative) const { return MediaItem::audioFile(path(relative)); }
    MediaItem makeTrack(const QString& relative, const AudioFixture& fixture = {}) {
        EXPECT_TRUE(makeAudioFile(path(relative), fixture));
        return track(relative);
    }
    // Nothing of this test may still be encoding or writing when the next
    // one starts or the process ends.
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    // What loadFile does before it asks for the track information.
    void select(const MediaItem& item) {
        vm->setSelectedFile(item);
        vm->setCurrentTitle(item.name());
        vm->setCurrentArtist(QStringLiteral("Unknown Artist"));
    }
    QString recordFile(const MediaItem& item) const {
        return MediaCacheManager::shared().subdirectory("Metadata") + '/' + cacheKey(item.url()) +
               ".json";
    }
    // Lets every started task hand its result over.
    static void settle() {
        QThreadPool::globalInstance()->waitForDone();
        waitForArtworkFiles();
        waitUntil([] { return false; }, 50);
    }
    bool loadAndWait(const MediaItem& item) {
        vm->loadTrackInfo(item);
        return waitUntil([&] { return !vm->isLoading(); });
    }
    QColor artworkColor() const { return vm->currentArtwork().pixelColor(1, 1); }

    QTemporaryDir dir;
    std::unique_ptr<MediaLibraryViewModel> vm;
};

TEST_F(TrackInfo, ReadsPublishesAndRemembersTheFile) {
    AudioFixture fixture;
    fixture.bits = 24;
    fixture.sampleRate = 96000;
    fixture.tags = {{"title", "Song"}, {"artist", "Ann"}, {"date", "2001"}};
    const MediaItem item = makeTrack("A/01.flac", fixture);
    select(item);
    QSignalSpy loading(vm.get(), &MediaLibraryViewModel::isLoadingChanged);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(loading.count(), 2) << "set, then cleared";
    EXPECT_EQ(vm->currentTitle(), "Song");
    EXPECT_EQ(vm->currentArtist(), "Ann");
    EXPECT_EQ(vm->currentYear(), "2001");
    EXPECT_EQ(vm->currentFileType(), "FLAC");
    EXPECT_EQ(vm->currentBitDepth(), "24bit");
    EXPECT_EQ(vm->currentSampleRate(), "96.0 kHz");
    EXPECT_TRUE(vm->currentFilesize());

    const auto record = MetadataCacheManager::shared().record(item.id());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->title, "Song");
    EXPECT_EQ(record->sampleRate, "96.0 kHz");
    waitForArtworkFiles();
    const QJsonObject saved =
        QJsonDocument::fromJson(readFile(MetadataCacheManager::shared().fileURL())).object();
    EXPECT_EQ(saved.value(item.id()).toObject().value("bitDepth").toString(), "24bit");
    const QJsonObject perTrack = QJsonDocument::fromJson(readFile(recordFile(item))).object();
    EXPECT_EQ(perTrack.value("title").toString(), "Song");
    EXPECT_EQ(perTrack.value("fileType").toString(), "FLAC");
}

TEST_F(TrackInfo, AKnownFileIsShownInTheSameTurn) {
    const MediaItem item = makeTrack("B/02.mp3");
    CachedMetadata known;
    known.title = "Cached title";
    known.artist = "Cached artist";
    known.fileType = "MP3";
    known.sampleRate = "44.1 kHz";
    MetadataCacheManager::shared().insert(item.id(), known);
    select(item);
    vm->setCurrentYear(QStringLiteral("1970"));

    vm->loadTrackInfo(item); // no event is processed before the checks
    EXPECT_TRUE(vm->isLoading());
    EXPECT_EQ(vm->currentTitle(), "Cached title");
    EXPECT_EQ(vm->currentArtist(), "Cached artist");
    EXPECT_EQ(vm->currentSampleRate(), "44.1 kHz");
    EXPECT_EQ(vm->currentYear(), std::nullopt) << "absent in the record, absent on screen";
    EXPECT_EQ(vm->currentBitDepth(), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return !vm->isLoading(); }));
    // The file has no tags: the task keeps the shown title and artist.
    EXPECT_EQ(vm->currentTitle(), "Cached title");
    EXPECT_TRUE(vm->currentFilesize());
}

TEST_F(TrackInfo, AnUnknownFileClearsTheTechnicalLineButNotTheNames) {
    const MediaItem item = makeTrack("C/03.wav");
    select(item);
    vm->setCurrentBitDepth(QStringLiteral("16bit"));
    vm->setCurrentSampleRate(QStringLiteral("48.0 kHz"));
    vm->setCurrentFilesize(QStringLiteral("1.0 MB"));
    vm->setCurrentFileType(QStringLiteral("FLAC"));
    vm->setCurrentYear(QStringLiteral("1999"));
    vm->loadTrackInfo(item);
    EXPECT_EQ(vm->currentTitle(), "03.wav");
    EXPECT_EQ(vm->currentArtist(), "Unknown Artist");
    EXPECT_EQ(vm->currentBitDepth(), std::nullopt);
    EXPECT_EQ(vm->currentSampleRate(), std::nullopt);
    EXPECT_EQ(vm->currentFilesize(), std::nullopt);
    EXPECT_EQ(vm->currentFileType(), std::nullopt);
    EXPECT_EQ(vm->currentYear(), std::nullopt);

    ASSERT_TRUE(waitUntil([&] { return !vm->isLoading(); }));
    // Nothing better was found: the file name and "Unknown Artist" are remembered.
    const auto record = MetadataCacheManager::shared().record(item.id());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->title, "03.wav");
    EXPECT_EQ(record->artist, "Unknown Artist");
    EXPECT_EQ(record->bitDepth, "16bit");
}

// Rapid clicks: the read of a file the user has already left is skipped
// when its turn comes, so it neither shows nor keeps anything.
TEST_F(TrackInfo, AReadForAFileNoLongerSelectedIsSkipped) {
    AudioFixture fixture;
    fixture.tags = {{"title", "Old"}, {"artist", "Old artist"}, {"date", "1960"}};
    ASSERT_TRUE(makeImageFile(path("cover.png")));
    fixture.coverPath = path("cover.png");
    const MediaItem first = makeTrack("D/old.mp3", fixture);
    const MediaItem second = track("D/new.mp3");
    select(first);
    vm->loadTrackInfo(first);
    select(second);
    const QStringList lines = capturedLines([&] { settle(); });

    EXPECT_EQ(vm->currentTitle(), "new.mp3");
    EXPECT_EQ(vm->currentArtist(), "Unknown Artist");
    EXPECT_EQ(vm->currentYear(), std::nullopt);
    EXPECT_TRUE(vm->currentArtwork().isNull());
    EXPECT_TRUE(lines.filter("currentArtwork").isEmpty()) << lines.join('\n').toStdString();
    EXPECT_FALSE(MetadataCacheManager::shared().record(first.id()));
    EXPECT_FALSE(QFile::exists(recordFile(first)));
    EXPECT_TRUE(memoryCachedArtwork(MediaCacheManager::shared(), first.url()).isNull());
}

TEST_F(TrackInfo, AnUnreadableFileOnlyEndsTheLoading) {
    writeFile(path("E/broken.m4a"), "not a container");
    const MediaItem item = track("E/broken.m4a");
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(vm->currentTitle(), "broken.m4a");
    EXPECT_FALSE(MetadataCacheManager::shared().record(item.id()));
    waitForArtworkFiles();
    EXPECT_FALSE(QFile::exists(recordFile(item)));
}

TEST_F(TrackInfo, NothingHappensWhileTheFileDownloads) {
    const MediaItem item = makeTrack("F/01.mp3");
    select(item);
    vm->setCurrentYear(QStringLiteral("1999"));
    vm->setIsDownloading(true);
    vm->loadTrackInfo(item);
    EXPECT_TRUE(vm->isLoading());
    EXPECT_EQ(vm->currentYear(), "1999");
    settle();
    EXPECT_TRUE(vm->isLoading());
    EXPECT_FALSE(MetadataCacheManager::shared().record(item.id()));
}

// ---- Where the artwork comes from -----------------------------------------

class TrackArtwork : public TrackInfo {
protected:
    // A track in its own folder, optionally with a picture inside it.
    MediaItem trackWithCover(const QString& folder, std::optional<QColor> embedded) {
        AudioFixture fixture;
        if (embedded) {
            const QString cover = path(folder + "-embedded.png");
            EXPECT_TRUE(makeImageFile(cover, {4, 4}, *embedded));
            fixture.coverPath = cover;
        }
        return makeTrack(folder + "/01.mp3", fixture);
    }
    // Gives the library a root whose folder names its cover by artworkURL.
    void setFolderArtworkUrl(const MediaItem& item, const QString& imagePath) {
        MediaItem folder = MediaItem::folder(QFileInfo(item.path()).path(), {item});
        folder.artworkURL = QUrl::fromLocalFile(imagePath);
        vm->setRootFolder(MediaItem::folder(dir.path(), {folder}));
    }
    QUrl folderOf(const MediaItem& item) const { return folderUrlOf(item.url()); }
};

TEST_F(TrackArtwork, EmbeddedWinsAndIsStoredForTheTrack) {
    const MediaItem item = trackWithCover("G", QColor(Qt::red));
    cacheArtwork(filled(Qt::green), folderOf(item));
    ASSERT_TRUE(makeImageFile(path("G/cover.png"), {4, 4}, Qt::blue));
    ASSERT_TRUE(makeImageFile(path("elsewhere/yellow.png"), {4, 4}, Qt::yellow));
    setFolderArtworkUrl(item, path("elsewhere/yellow.png"));
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(artworkColor(), QColor(Qt::red));
    EXPECT_EQ(memoryCachedArtwork(MediaCacheManager::shared(), item.url()).pixelColor(1, 1),
              QColor(Qt::red));
}

TEST_F(TrackArtwork, ThenTheFolderEntry) {
    const MediaItem item = trackWithCover("H", std::nullopt);
    cacheArtwork(filled(Qt::green), folderOf(item));
    ASSERT_TRUE(makeImageFile(path("H/cover.png"), {4, 4}, Qt::blue));
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(artworkColor(), QColor(Qt::green));
}

TEST_F(TrackArtwork, TheFolderEntryAlsoFromDisk) {
    const MediaItem item = trackWithCover("I", std::nullopt);
    cacheArtwork(filled(Qt::green), folderOf(item));
    waitForArtworkFiles();
    MediaCacheManager::shared().artworkMemoryCache().clear();
    ASSERT_TRUE(makeImageFile(path("I/cover.png"), {4, 4}, Qt::blue));
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(artworkColor(), QColor(Qt::green));
    EXPECT_FALSE(memoryCachedArtwork(MediaCacheManager::shared(), folderOf(item)).isNull());
}

TEST_F(TrackArtwork, ThenTheImageBesideTheTrackWhichIsStoredForTheFolder) {
    const MediaItem item = trackWithCover("J", std::nullopt);
    ASSERT_TRUE(makeImageFile(path("J/cover.png"), {4, 4}, Qt::blue));
    ASSERT_TRUE(makeImageFile(path("elsewhere/yellow.png"), {4, 4}, Qt::yellow));
    setFolderArtworkUrl(item, path("elsewhere/yellow.png"));
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(artworkColor(), QColor(Qt::blue));
    EXPECT_EQ(memoryCachedArtwork(MediaCacheManager::shared(), folderOf(item)).pixelColor(1, 1),
              QColor(Qt::blue));
}

TEST_F(TrackArtwork, ThenTheFolderArtworkUrlWhichIsNotStored) {
    const MediaItem item = trackWithCover("K", std::nullopt);
    ASSERT_TRUE(makeImageFile(path("elsewhere/yellow.png"), {4, 4}, Qt::yellow));
    setFolderArtworkUrl(item, path("elsewhere/yellow.png"));
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(artworkColor(), QColor(Qt::yellow));
    EXPECT_TRUE(memoryCachedArtwork(MediaCacheManager::shared(), folderOf(item)).isNull());
}

TEST_F(TrackArtwork, OtherwiseNone) {
    const MediaItem item = trackWithCover("L", std::nullopt);
    select(item);
    vm->setCurrentArtwork(filled(Qt::gray));
    QStringList lines;
    lines = capturedLines([&] { ASSERT_TRUE(loadAndWait(item)); });
    EXPECT_TRUE(vm->currentArtwork().isNull());
    EXPECT_TRUE(lines.contains("currentArtwork changed: nil"));
}

TEST_F(TrackArtwork, ADamagedEmbeddedPictureFallsThrough) {
    const MediaItem item = trackWithCover("M", QColor(Qt::red));
    QByteArray bytes = readFile(item.path());
    const qsizetype png = bytes.indexOf("\x89PNG");
    ASSERT_GT(png, 0);
    for (qsizetype i = png; i < png + 24; ++i)
        bytes[i] = 'x';
    writeFile(item.path(), bytes);
    ASSERT_TRUE(makeImageFile(path("M/cover.png"), {4, 4}, Qt::blue));
    select(item);
    ASSERT_TRUE(loadAndWait(item));
    EXPECT_EQ(artworkColor(), QColor(Qt::blue));
}

} // namespace
