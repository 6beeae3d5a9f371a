// The view model's system integration: the now-playing record it publishes,
// the remote commands it answers, the volume and sleep prevention.
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"
#include "system/mprisservice.h"
#include "system/remotecommands.h"
#include "system/sleepmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

class SystemIntegration : public PlaybackFixture {
public:
    void SetUp() override {
        PlaybackFixture::SetUp();
        SleepManager::shared().setActivityStarter([this](SleepMode mode) {
            activities.append(mode);
            ++held;
            return [this] { --held; };
        });
        makeViewModel();
        service = vm->nowPlayingService();
        ASSERT_NE(service, nullptr);
    }
    void TearDown() override {
        PlaybackFixture::TearDown();
        SleepManager::shared().allowSleep();
        SleepManager::shared().setActivityStarter({});
    }

    // The state after a load, set by hand so the record alone is under test.
    FakeQueuePlayer* selectWithPlayer(const QString& name) {
        auto player = std::make_unique<FakeQueuePlayer>(QList<PlayerItem*>{});
        FakeQueuePlayer* raw = player.get();
        vm->setPlayer(std::move(player));
        vm->setSelectedFile(library->file(name));
        vm->setCurrentTitle(std::nullopt);
        vm->setCurrentArtist(std::nullopt);
        return raw;
    }
    QVariantMap metadata() const { return service->metadata(); }
    QString artFile() const {
        return QUrl(metadata().value("mpris:artUrl").toString()).toLocalFile();
    }
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    static QImage image(QColor colour) {
        QImage result(30, 20, QImage::Format_RGB32);
        result.fill(colour);
        return result;
    }

    using PlaybackFixture::library;
    using PlaybackFixture::vm;
    MprisService* service = nullptr;
    QList<SleepMode> activities;
    int held = 0;
};

// ---- The now-playing record ---------------------------------------------

struct RecordCase {
    const char* name;
    std::function<void(SystemIntegration&, MediaLibraryViewModel&)> state;
    const char* status;
    const char* record; // title|artist|elapsed|rate|duration, or none
};

class NowPlayingRecord : public SystemIntegration,
                         public ::testing::WithParamInterface<RecordCase> {};

TEST_P(NowPlayingRecord, FollowsTheViewModel) {
    const RecordCase& row = GetParam();
    row.state(*this, *vm);
    EXPECT_EQ(service->playbackStatus(), row.status);
    const std::optional<NowPlayingInfo>& record = service->nowPlaying();
    ASSERT_EQ(record.has_value(), *row.record != 0);
    if (!record) {
        EXPECT_TRUE(metadata().isEmpty());
        return;
    }
    EXPECT_EQ(record->url, vm->selectedFile()->url());
    EXPECT_EQ(QStringList({record->title, record->artist, QString::number(record->elapsedSeconds),
                           QString::number(record->playbackRate),
                           QString::number(record->durationSeconds)})
                  .join('|'),
              row.record);
    EXPECT_EQ(service->positionMicroseconds(), qint64(record->elapsedSeconds * 1e6));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NowPlayingRecord,
    ::testing::Values(
        RecordCase{"NothingLoaded",
                   [](auto& t, auto& vm) {
                       t.service->setNowPlaying(NowPlayingInfo{}, NowPlayingState::Playing);
                       vm.updateNowPlayingInfo();
                   },
                   "Stopped", ""},
        RecordCase{"AnUntaggedPausedTrack",
                   [](auto& t, auto& vm) {
                       t.selectWithPlayer("f2")->reachTime(1.5);
                       vm.updateNowPlayingInfo();
                   },
                   "Paused", "f2.wav|Unknown Artist|1.5|0|0"},
        RecordCase{"APlayingTrack",
                   [](auto& t, auto& vm) {
                       t.selectWithPlayer("f1")->play();
                       vm.updateNowPlayingInfo();
                   },
                   "Playing", "f1.wav|Unknown Artist|0|1|0"},
        RecordCase{"ASelectedFileWithoutAPlayer",
                   [](auto& t, auto& vm) { vm.setSelectedFile(t.library->file("g1")); }, "Paused",
                   "g1.wav|Unknown Artist|0|0|0"},
        RecordCase{"TrackInformationArrivingLater",
                   [](auto& t, auto& vm) {
                       t.selectWithPlayer("f1");
                       vm.updateNowPlayingInfo();
                       vm.setCurrentTitle("Title");
                       vm.setCurrentArtist("Artist");
                       vm.progress()->setDuration(61.5);
                   },
                   "Paused", "Title|Artist|0|0|61.5"},
        RecordCase{"TrackInformationClearedByANewLoad",
                   [](auto& t, auto& vm) {
                       t.selectWithPlayer("f1");
                       vm.setCurrentTitle("Title");
                       vm.setCurrentArtist("Artist");
                       vm.setCurrentTitle(std::nullopt);
                       vm.setCurrentArtist(std::nullopt);
                   },
                   "Paused", "f1.wav|Unknown Artist|0|0|0"},
        RecordCase{"TrackInformationWithoutASelectedFile",
                   [](auto&, auto& vm) { vm.setCurrentTitle("Stray"); }, "Stopped", ""},
        RecordCase{"AnUnselectedFile",
                   [](auto& t, auto& vm) {
                       t.selectWithPlayer("f1");
                       vm.updateNowPlayingInfo();
                       vm.setSelectedFile(std::nullopt);
                   },
                   "Stopped", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SystemIntegration, ArtworkIsPublishedAsACacheFileWrittenOnce) {
    selectWithPlayer("f1");
    vm->setCurrentArtwork(image(Qt::red));
    // Shown without a link until the file is written, then with it.
    ASSERT_TRUE(waitUntil([&] { return metadata().contains("mpris:artUrl"); }));
    const QString file = artFile();
    EXPECT_TRUE(file.startsWith(MediaCacheManager::shared().subdirectory("Artwork") + '/'));
    const QImage written = decodeImageFile(file);
    EXPECT_EQ(written.size(), QSize(30, 20));
    EXPECT_EQ(written.pixelColor(3, 3), QColor(Qt::red));
    // The same pixels later find the same file without writing it again.
    const QDateTime firstWrite = QFileInfo(file).lastModified();
    vm->setCurrentArtwork(image(Qt::red));
    EXPECT_EQ(artFile(), file);
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(QFileInfo(file).lastModified(), firstWrite);
    vm->setCurrentArtwork(QImage());
    EXPECT_FALSE(metadata().contains("mpris:artUrl"));
}

TEST_F(SystemIntegration, ArtworkFromTheStoreUsesTheStoresFile) {
    const QUrl folder = folderUrlOf(library->file("g2").url());
    selectWithPlayer("g2");
    cacheArtwork(image(Qt::blue), folder);
    waitForArtworkFiles();
    AtomicFileWriter::shared().waitForIdle();
    vm->setCurrentArtwork(cachedArtwork(folder));
    EXPECT_EQ(artFile(), artworkCacheFilePath(MediaCacheManager::shared(), folder));
}

// ---- Remote commands ----------------------------------------------------

TEST_F(SystemIntegration, CommandsActOnThePlayerAfterTheAnswer) {
    const RemoteCommands commands = service->commands();
    commands.play(); // no player: nothing
    settle();
    EXPECT_EQ(vm->player(), nullptr);
    FakeQueuePlayer* player = selectWithPlayer("f1");
    commands.play();
    EXPECT_TRUE(commands.changePlaybackPosition(42.0));
    EXPECT_EQ(player->playCalls, 0);
    EXPECT_TRUE(player->seeks.isEmpty());
    settle();
    EXPECT_EQ(player->playCalls, 1);
    EXPECT_EQ(player->seeks, QList<double>{42.0});
    commands.pause();
    settle();
    EXPECT_EQ(player->pauseCalls, 1);
    // Clients are told of a jump once the seek has landed.
    QSignalSpy seeked(service, &MprisService::seeked);
    player->completeSeek(true);
    ASSERT_EQ(seeked.count(), 1);
    EXPECT_EQ(seeked.at(0).at(0).toDouble(), 42.0);
    // Without a player (unloaded meanwhile) there is no position to tell.
    vm->progress()->setIsSeeking(true);
    vm->setPlayer(nullptr);
    vm->progress()->setIsSeeking(false);
    EXPECT_EQ(seeked.count(), 1);
    // Outliving the view model, they fail or do nothing.
    vm.reset();
    EXPECT_FALSE(commands.changePlaybackPosition(3.0));
    QString error;
    EXPECT_FALSE(commands.openUrl(QUrl::fromLocalFile(library->path("F/f1.wav")), &error));
    commands.play();
    commands.nextTrack();
    commands.setVolume(0.5);
    settle();
}

TEST_F(SystemIntegration, OpeningPlaysALibraryFileOrFolderAndRefusesAnythingElse) {
    writeFile(library->path("F/notes.txt"), "text");
    QDir().mkpath(library->path("Empty"));
    MediaItem root = library->root();
    root.children->append(MediaItem::folder(library->path("Empty")));
    vm->setRootFolder(root);
    const QUrl refused[] = {
        QUrl::fromLocalFile(library->path("F/notes.txt")),
        QUrl::fromLocalFile(library->path("F/missing.wav")),
        QUrl::fromLocalFile(library->path("Empty")),
        QUrl::fromLocalFile(library->path("")),
        QUrl::fromLocalFile(QDir::tempPath()),
        QUrl("https://example.org/f1.wav"),
        QUrl("not a url at all"),
        QUrl(),
    };
    for (const QUrl& url : refused) {
        QString error;
        EXPECT_FALSE(service->commands().openUrl(url, &error)) << url.toString().toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    settle();
    EXPECT_FALSE(vm->selectedFile());
    EXPECT_EQ(vm->player(), nullptr);

    // A file plays as a click would, once the answer has gone.
    QString error;
    EXPECT_TRUE(
        service->commands().openUrl(QUrl::fromLocalFile(library->path("G/g2.wav")), &error));
    EXPECT_FALSE(vm->selectedFile());
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), QStringList{"g2"});
    EXPECT_TRUE(waitUntil([&] { return fake() && fake()->rate() > 0; }));
    // A folder (a trailing separator names the same) as a double click would.
    EXPECT_TRUE(service->commands().openUrl(QUrl::fromLocalFile(library->path("H") + '/'), &error));
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), (QStringList{"g2", "h1", "h2"}));
    EXPECT_EQ(vm->selectedFile()->name(), "h1.wav");
    // Without a library nothing can be opened.
    vm->setRootFolder(std::nullopt);
    EXPECT_FALSE(
        service->commands().openUrl(QUrl::fromLocalFile(library->path("F/f1.wav")), &error));
}

// ---- Volume -------------------------------------------------------------

TEST_F(SystemIntegration, VolumeReachesTheServiceAndThePlayerNowOrAtTheNextLoad) {
    takeLines();
    vm->setVolume(0.5f);
    EXPECT_EQ(
        takeLines("^(Volume|Player|WARNING)"),
        (QStringList{"Volume changed to: 0.5", "WARNING: Player is nil when setting volume"}));
    EXPECT_EQ(service->volume(), 0.5);
    vm->loadFile(library->file("f1"), false);
    EXPECT_EQ(fake()->volume(), 0.5f);
    settle();
    takeLines();
    service->commands().setVolume(0.25);
    settle();
    EXPECT_EQ(takeLines("^(Volume|Player|WARNING)"),
              (QStringList{"Volume changed to: 0.25", "Player volume set to: 0.25"}));
    EXPECT_EQ(fake()->volume(), 0.25f);
    EXPECT_EQ(service->volume(), 0.25);
}

// ---- Sleep prevention ---------------------------------------------------

TEST_F(SystemIntegration, FullScreenArtworkKeepsTheDisplayAwake) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    for (const auto& [playing, fullScreen, mode] :
         {std::tuple{false, true, SleepMode::displayAndSystem},
          {false, false, SleepMode::none},
          {true, true, SleepMode::displayAndSystem},
          {true, false, SleepMode::systemOnly}}) {
        playing ? player->play() : player->pause();
        vm->setIsFullscreenArtwork(fullScreen);
        vm->updateSleepPrevention();
        EXPECT_EQ(SleepManager::shared().currentMode(), mode);
    }
    EXPECT_EQ(activities, (QList<SleepMode>{SleepMode::displayAndSystem,
                                            SleepMode::displayAndSystem, SleepMode::systemOnly}));
    EXPECT_EQ(held, 1);
}

// Unloading or rescanning the folder takes the player away while it plays;
// its rate observer no longer reaches the view model, yet sleep is allowed.
TEST_F(SystemIntegration, PlayerTakenAwayWhilePlayingAllowsSleep) {
    for (const bool rescan : {false, true}) {
        vm->openFolder(QUrl::fromLocalFile(library->path("")));
        ASSERT_TRUE(waitUntil([&] { return vm->rootFolder() && !vm->isLoading(); }));
        vm->loadFile(library->file("f1"), true);
        ASSERT_TRUE(waitUntil([&] { return held == 1; }));
        rescan ? vm->rescanFolder() : vm->unloadFolder();
        settle();
        EXPECT_EQ(held, 0) << (rescan ? "rescan" : "unload");
        EXPECT_EQ(SleepManager::shared().currentMode(), SleepMode::none);
    }
}

} // namespace
