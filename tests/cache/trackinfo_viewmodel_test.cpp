#include "app/medialibraryviewmodel.h"
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

QColor colour(const QImage& image) {
    return image.isNull() ? QColor() : image.pixelColor(1, 1);
}

class TrackInfo : public ::testing::Test {
protected:
    void SetUp() override { vm = std::make_unique<MediaLibraryViewModel>(); }
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    MediaItem makeTrack(const QString& relative, const AudioFixture& fixture = {}) {
        EXPECT_TRUE(makeAudioFile(path(relative), fixture));
        return MediaItem::audioFile(path(relative));
    }
    void select(const MediaItem& item) {
        vm->setSelectedFile(item);
        vm->setCurrentTitle(item.name());
        vm->setCurrentArtist(QStringLiteral("Unknown Artist"));
    }
    bool loadAndWait(const MediaItem& item) {
        vm->loadTrackInfo(item);
        return waitUntil([&] { return !vm->isLoading(); });
    }
    static QString recordFile(const MediaItem& item) {
        return MediaCacheManager::shared().subdirectory("Metadata") + '/' + cacheKey(item.url()) +
               ".json";
    }
    CachedMetadata published() const {
        return {vm->currentTitle(),    vm->currentArtist(),   vm->currentYear(),
                vm->currentFileType(), vm->currentBitDepth(), vm->currentSampleRate(),
                vm->currentFilesize()};
    }
    // title|artist|year|type|bit depth|sample rate|size, "-" for an absent value.
    QString shown() const {
        QStringList texts;
        for (const auto& text :
             {vm->currentTitle(), vm->currentArtist(), vm->currentYear(), vm->currentFileType(),
              vm->currentBitDepth(), vm->currentSampleRate()})
            texts << text.value_or("-");
        return texts.join('|') + (vm->currentFilesize() ? "|size" : "|-");
    }

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
    EXPECT_EQ(shown(), "Song|Ann|2001|FLAC|24bit|96.0 kHz|size");
    EXPECT_EQ(MetadataCacheManager::shared().record(item.id()), published());
    waitForArtworkFiles();
    const QJsonObject saved =
        QJsonDocument::fromJson(readFile(MetadataCacheManager::shared().fileURL())).object();
    const QJsonObject perTrack = QJsonDocument::fromJson(readFile(recordFile(item))).object();
    for (const QJsonObject& json : {saved.value(item.id()).toObject(), perTrack})
        EXPECT_EQ(CachedMetadata::fromJsonObject(json), published());
}

// What is found is shown at once on the next load; a downloading file is not read.
TEST_F(TrackInfo, AnUnknownFileIsRememberedAndShownAtOnceNextTime) {
    const MediaItem item = makeTrack("C/03.wav");
    for (const char* expected :
         {"03.wav|Unknown Artist|-|-|-|-|-", "03.wav|Unknown Artist|-|WAV|16bit|44.1 kHz|size"}) {
        select(item);
        for (auto set :
             {&MediaLibraryViewModel::setCurrentBitDepth,
              &MediaLibraryViewModel::setCurrentFileType, &MediaLibraryViewModel::setCurrentYear})
            (vm.get()->*set)(QStringLiteral("stale"));
        vm->setCurrentFilesize(std::nullopt);
        vm->loadTrackInfo(item); // no event is processed before the check
        EXPECT_EQ(shown(), expected);
        ASSERT_TRUE(waitUntil([&] { return !vm->isLoading(); }));
    }
    const MediaItem downloading = makeTrack("F/01.mp3");
    select(downloading);
    vm->setIsDownloading(true);
    vm->loadTrackInfo(downloading);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(vm->isLoading());
    EXPECT_FALSE(MetadataCacheManager::shared().record(downloading.id()) ||
                 QFile::exists(recordFile(downloading)));
}

// Artwork: embedded (stored for the track), beside the track (for the folder), folder cover.

struct ArtworkRow {
    const char* name;
    QColor embedded;  // invalid: none; black: a damaged picture
    bool beside;      // blue cover.png
    bool folderCover; // yellow, named by the library tree
    QColor shown, storedForTrack, storedForFolder;
};

class TrackArtwork : public TrackInfo, public ::testing::WithParamInterface<ArtworkRow> {};

TEST_P(TrackArtwork, FirstFoundWins) {
    const ArtworkRow& row = GetParam();
    AudioFixture fixture;
    if (row.embedded.isValid()) {
        fixture.coverPath = path("embedded.png");
        ASSERT_TRUE(makeImageFile(fixture.coverPath, {4, 4}, row.embedded));
    }
    const MediaItem item = makeTrack("T/01.mp3", fixture);
    const QUrl folder = folderUrlOf(item.url());
    if (row.embedded == Qt::black) { // garble the picture's header
        QByteArray bytes = readFile(item.path());
        ASSERT_GT(bytes.indexOf("\x89PNG"), 0);
        writeFile(item.path(), bytes.replace(bytes.indexOf("\x89PNG"), 24, QByteArray(24, 'x')));
    }
    if (row.beside)
        ASSERT_TRUE(makeImageFile(path("T/cover.png"), {4, 4}, Qt::blue));
    if (row.folderCover) {
        ASSERT_TRUE(makeImageFile(path("elsewhere/yellow.png"), {4, 4}, Qt::yellow));
        MediaItem node = MediaItem::folder(path("T"), {item});
        node.artworkURL = QUrl::fromLocalFile(path("elsewhere/yellow.png"));
        vm->setRootFolder(MediaItem::folder(dir.path(), {node}));
    }
    select(item);
    vm->setCurrentArtwork(QImage(4, 4, QImage::Format_RGB32)); // the previous track's
    ASSERT_TRUE(loadAndWait(item));

    MediaCacheManager& cache = MediaCacheManager::shared();
    EXPECT_EQ(colour(vm->currentArtwork()), row.shown);
    EXPECT_EQ(colour(memoryCachedArtwork(cache, item.url())), row.storedForTrack);
    EXPECT_EQ(colour(memoryCachedArtwork(cache, folder)), row.storedForFolder);
}

const QColor none;
INSTANTIATE_TEST_SUITE_P(
    Chain, TrackArtwork,
    ::testing::Values(ArtworkRow{"embedded", Qt::red, true, true, Qt::red, Qt::red, none},
                      ArtworkRow{"damaged_embedded", Qt::black, true, false, Qt::blue, none,
                                 Qt::blue},
                      ArtworkRow{"folder_cover", {}, false, true, Qt::yellow, none, none}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
