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
#include <future>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class TrackInfo : public ::testing::Test {
protected:
    void SetUp() override { vm = std::make_unique<MediaLibraryViewModel>(); }
    // Nothing of this test may still be encoding or writing when the next one starts.
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    QString path(const QString& relative) const { return dir.path() + '/' + relative; }
    MediaItem makeTrack(const QString& relative, const AudioFixture& fixture = {}) {
        EXPECT_TRUE(makeAudioFile(path(relative), fixture));
        return MediaItem::audioFile(path(relative));
    }
    // What loadFile does before it asks for the track information.
    void select(const MediaItem& item) {
        vm->setSelectedFile(item);
        vm->setCurrentTitle(item.name());
        vm->setCurrentArtist(QStringLiteral("Unknown Artist"));
    }
    static QString recordFile(const MediaItem& item) {
        return MediaCacheManager::shared().subdirectory("Metadata") + '/' + cacheKey(item.url()) +
               ".json";
    }
    // Every started task has handed its result over and written its files.
    static void settle() {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        waitForArtworkFiles();
    }
    bool loadAndWait(const MediaItem& item) {
        vm->loadTrackInfo(item);
        return waitUntil([&] { return !vm->isLoading(); });
    }
    CachedMetadata published() const {
        return {vm->currentTitle(),    vm->currentArtist(),   vm->currentYear(),
                vm->currentFileType(), vm->currentBitDepth(), vm->currentSampleRate(),
                vm->currentFilesize()};
    }
    // title|artist|year|type|bit depth|sample rate|size, "-" for an absent value.
    QString shown() const {
        const CachedMetadata m = published();
        QStringList texts;
        for (const auto& text : {m.title, m.artist, m.year, m.fileType, m.bitDepth, m.sampleRate})
            texts << text.value_or("-");
        return texts.join('|') + (m.filesize ? "|size" : "|-");
    }
    static std::optional<CachedMetadata> remembered(const MediaItem& item) {
        return MetadataCacheManager::shared().record(item.id());
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
    EXPECT_EQ(remembered(item), published());
    waitForArtworkFiles();
    const QJsonObject saved =
        QJsonDocument::fromJson(readFile(MetadataCacheManager::shared().fileURL())).object();
    const QJsonObject perTrack = QJsonDocument::fromJson(readFile(recordFile(item))).object();
    for (const QJsonObject& json : {saved.value(item.id()).toObject(), perTrack})
        EXPECT_EQ(CachedMetadata::fromJsonObject(json), published());
}

// An unknown file clears the technical line but keeps the names; what is
// found (here the file name and "Unknown Artist") is remembered and shown in
// the very turn of the next load, before the file is read again.
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
}

// Rapid clicks: the read of a file the user has already left is skipped
// when its turn comes, so it neither shows nor keeps anything. The pool is
// held busy so that its turn comes after the second click.
TEST_F(TrackInfo, AReadForAFileNoLongerSelectedIsSkipped) {
    AudioFixture fixture;
    fixture.tags = {{"title", "Old"}, {"artist", "Old artist"}, {"date", "1960"}};
    ASSERT_TRUE(makeImageFile(path("cover.png")));
    fixture.coverPath = path("cover.png");
    const MediaItem first = makeTrack("D/old.mp3", fixture);
    const MediaItem second = MediaItem::audioFile(path("D/new.mp3"));
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    for (int i = 0; i < QThreadPool::globalInstance()->maxThreadCount(); ++i)
        QThreadPool::globalInstance()->start([gate] { gate.wait(); });
    select(first);
    vm->loadTrackInfo(first);
    select(second);
    release.set_value();
    settle();

    EXPECT_EQ(vm->currentTitle(), "new.mp3");
    EXPECT_EQ(vm->currentYear(), std::nullopt);
    EXPECT_TRUE(vm->currentArtwork().isNull());
    EXPECT_FALSE(remembered(first));
    EXPECT_FALSE(QFile::exists(recordFile(first)));
    EXPECT_TRUE(memoryCachedArtwork(MediaCacheManager::shared(), first.url()).isNull());
}

// An unreadable file only ends the loading; while a file downloads, nothing
// happens until it is asked again.
TEST_F(TrackInfo, UnreadableOrDownloadingFilesAreNotRemembered) {
    writeFile(path("E/broken.m4a"), "not a container");
    const MediaItem broken = MediaItem::audioFile(path("E/broken.m4a"));
    select(broken);
    ASSERT_TRUE(loadAndWait(broken));
    const MediaItem downloading = makeTrack("F/01.mp3");
    select(downloading);
    vm->setCurrentYear(QStringLiteral("1999"));
    vm->setIsDownloading(true);
    vm->loadTrackInfo(downloading);
    settle();
    EXPECT_TRUE(vm->isLoading());
    EXPECT_EQ(shown(), "01.mp3|Unknown Artist|1999|-|-|-|-");
    for (const MediaItem& item : {broken, downloading})
        EXPECT_FALSE(remembered(item) || QFile::exists(recordFile(item)))
            << item.name().toStdString();
}

// ---- Where the artwork comes from: the first of embedded picture, the
// folder's stored entry (memory, then disk), the image beside the track, the
// cover the library chose for the folder.

enum class Stored { Nowhere, ForTrack, ForFolder };

struct ArtworkRow {
    const char* name;
    QColor embedded;  // invalid: none; black: a damaged picture
    int folderEntry;  // 0 none, 1 in memory, 2 on disk only
    bool beside;      // blue cover.png
    bool folderCover; // yellow, named by the library tree
    QColor shown;     // invalid: none
    Stored stored;
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
        const qsizetype png = bytes.indexOf("\x89PNG");
        ASSERT_GT(png, 0);
        bytes.replace(png, 24, QByteArray(24, 'x'));
        writeFile(item.path(), bytes);
    }
    if (row.folderEntry) {
        QImage green(4, 4, QImage::Format_RGB32);
        green.fill(Qt::green);
        cacheArtwork(green, folder);
        waitForArtworkFiles();
        if (row.folderEntry == 2)
            MediaCacheManager::shared().artworkMemoryCache().clear();
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

    const auto color = [](const QImage& image) {
        return image.isNull() ? QColor() : image.pixelColor(1, 1);
    };
    MediaCacheManager& cache = MediaCacheManager::shared();
    EXPECT_EQ(color(vm->currentArtwork()), row.shown);
    EXPECT_EQ(color(memoryCachedArtwork(cache, item.url())),
              row.stored == Stored::ForTrack ? row.shown : QColor());
    EXPECT_EQ(color(memoryCachedArtwork(cache, folder)), row.folderEntry ? QColor(Qt::green)
                                                         : row.stored == Stored::ForFolder
                                                             ? row.shown
                                                             : QColor());
}

INSTANTIATE_TEST_SUITE_P(
    Chain, TrackArtwork,
    ::testing::Values(
        ArtworkRow{"embedded", Qt::red, 1, true, true, Qt::red, Stored::ForTrack},
        ArtworkRow{"folder_entry", {}, 1, true, true, Qt::green, Stored::Nowhere},
        ArtworkRow{"folder_entry_on_disk", {}, 2, true, false, Qt::green, Stored::Nowhere},
        ArtworkRow{"beside", {}, 0, true, true, Qt::blue, Stored::ForFolder},
        ArtworkRow{"damaged_embedded", Qt::black, 0, true, false, Qt::blue, Stored::ForFolder},
        ArtworkRow{"folder_cover", {}, 0, false, true, Qt::yellow, Stored::Nowhere},
        ArtworkRow{"none", {}, 0, false, false, {}, Stored::Nowhere}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
