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
    QString artFile() const {
        return QUrl(service->metadata().value("mpris:artUrl").toString()).toLocalFile();
    }
    static QImage image(QColor colour) {
        QImage result(30, 20, QImage::Format_RGB32);
        result.fill(colour);
        return result;
    }

    MprisService* service = nullptr;
    QList<SleepMode> activities;
    int held = 0;
};

// ---- The now-playing record

struct RecordCase {
    const char* name;
    const char* steps; // player NAME, time TENTHS, play, update, select NAME, unselect,
                       // title TEXT, artist TEXT, untitled, duration TENTHS, stale
    const char* status;
    const char* record; // title|artist|elapsed|rate|duration, or none
};

class NowPlayingRecord : public SystemIntegration,
                         public ::testing::WithParamInterface<RecordCase> {};

TEST_P(NowPlayingRecord, FollowsTheViewModel) {
    const RecordCase& row = GetParam();
    FakeQueuePlayer* player = nullptr;
    for (const QString& step : QString(row.steps).split("; ")) {
        const QString word = step.section(' ', 0, 0), arg = step.section(' ', 1);
        if (word == "player")
            player = selectWithPlayer(arg);
        else if (word == "time")
            player->reachTime(arg.toInt() / 10.0);
        else if (word == "play")
            player->play();
        else if (word == "update")
            vm->updateNowPlayingInfo();
        else if (word == "select")
            vm->setSelectedFile(library->file(arg));
        else if (word == "unselect")
            vm->setSelectedFile(std::nullopt);
        else if (word == "title" || word == "artist")
            (vm.get()->*(word == "title" ? &MediaLibraryViewModel::setCurrentTitle
                                         : &MediaLibraryViewModel::setCurrentArtist))(arg);
        else if (word == "untitled")
            vm->setCurrentTitle(std::nullopt), vm->setCurrentArtist(std::nullopt);
        else if (word == "duration")
            vm->progress()->setDuration(arg.toInt() / 10.0);
        else if (word == "stale") // a record nobody replaced
            service->setNowPlaying(NowPlayingInfo{}, NowPlayingState::Playing);
        else
            FAIL() << "no step " << step.toStdString();
    }
    EXPECT_EQ(service->playbackStatus(), row.status);
    const std::optional<NowPlayingInfo>& record = service->nowPlaying();
    ASSERT_EQ(record.has_value(), *row.record != 0);
    if (!record) {
        EXPECT_TRUE(service->metadata().isEmpty());
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
    ::testing::Values(RecordCase{"NothingLoaded", "stale; update", "Stopped", ""},
                      RecordCase{"AnUntaggedPausedTrack", "player f2; time 15; update", "Paused",
                                 "f2.wav|Unknown Artist|1.5|0|0"},
                      RecordCase{"APlayingTrack", "player f1; play; update", "Playing",
                                 "f1.wav|Unknown Artist|0|1|0"},
                      RecordCase{"ASelectedFileWithoutAPlayer", "select g1", "Paused",
                                 "g1.wav|Unknown Artist|0|0|0"},
                      RecordCase{"TrackInformationArrivingLater",
                                 "player f1; update; title Title; artist Artist; duration 615",
                                 "Paused", "Title|Artist|0|0|61.5"},
                      RecordCase{"TrackInformationClearedByANewLoad",
                                 "player f1; title Title; artist Artist; untitled", "Paused",
                                 "f1.wav|Unknown Artist|0|0|0"},
                      RecordCase{"TrackInformationWithoutASelectedFile", "title Stray", "Stopped",
                                 ""},
                      RecordCase{"AnUnselectedFile", "player f1; update; unselect", "Stopped", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Published as a cache file once written; the same pixels find the same file
// without writing it again; the artwork store's own file is used as it is.
TEST_F(SystemIntegration, ArtworkIsPublishedAsACacheFileWrittenOnce) {
    selectWithPlayer("g2");
    vm->setCurrentArtwork(image(Qt::red));
    ASSERT_TRUE(waitUntil([&] { return !artFile().isEmpty(); }));
    const QString file = artFile();
    EXPECT_TRUE(file.startsWith(MediaCacheManager::shared().subdirectory("Artwork") + '/'));
    const QImage written = decodeImageFile(file);
    EXPECT_EQ(written.size(), QSize(30, 20));
    EXPECT_EQ(written.pixelColor(3, 3), QColor(Qt::red));
    const QDateTime firstWrite = QFileInfo(file).lastModified();
    vm->setCurrentArtwork(image(Qt::red));
    EXPECT_EQ(artFile(), file);
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(QFileInfo(file).lastModified(), firstWrite);
    vm->setCurrentArtwork(QImage());
    EXPECT_TRUE(artFile().isEmpty());

    const QUrl folder = folderUrlOf(library->file("g2").url());
    cacheArtwork(image(Qt::blue), folder);
    waitForArtworkFiles();
    AtomicFileWriter::shared().waitForIdle();
    vm->setCurrentArtwork(cachedArtwork(folder));
    EXPECT_EQ(artFile(), artworkCacheFilePath(MediaCacheManager::shared(), folder));
}

// ---- Remote commands

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
    // Clients are told of a jump once the seek has landed, if there is a player.
    QSignalSpy seeked(service, &MprisService::seeked);
    player->completeSeek(true);
    EXPECT_EQ(seeked.value(0).value(0).toDouble(), 42.0);
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
    auto file = [&](const QString& path) { return QUrl::fromLocalFile(library->path(path)); };
    const QUrl refused[] = {file("F/notes.txt"),
                            file("F/missing.wav"),
                            file("Empty"),
                            file(""),
                            QUrl::fromLocalFile(QDir::tempPath()),
                            QUrl("https://example.org/f1.wav"),
                            QUrl("not a url at all"),
                            QUrl()};
    QString error;
    for (const QUrl& url : refused) {
        error.clear();
        EXPECT_FALSE(service->commands().openUrl(url, &error)) << url.toString().toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    settle();
    EXPECT_FALSE(vm->selectedFile());
    // A file plays as a click would, once the answer has gone; a folder (a
    // trailing separator names the same) as a double click would.
    EXPECT_TRUE(service->commands().openUrl(file("G/g2.wav"), &error));
    EXPECT_FALSE(vm->selectedFile());
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), QStringList{"g2"});
    EXPECT_TRUE(waitUntil([&] { return fake() && fake()->rate() > 0; }));
    EXPECT_TRUE(service->commands().openUrl(QUrl(file("H").toString() + '/'), &error));
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), (QStringList{"g2", "h1", "h2"}));
    EXPECT_EQ(vm->selectedFile()->name(), "h1.wav");
    vm->setRootFolder(std::nullopt);
    EXPECT_FALSE(service->commands().openUrl(file("F/f1.wav"), &error));
}

// ---- Volume and sleep prevention

TEST_F(SystemIntegration, VolumeReachesTheServiceAndThePlayerNowOrAtTheNextLoad) {
    const QString lines = "^(Volume|Player|WARNING)";
    vm->setVolume(0.5f);
    EXPECT_EQ(takeLines(lines), (QStringList{"Volume changed to: 0.5",
                                             "WARNING: Player is nil when setting volume"}));
    EXPECT_EQ(service->volume(), 0.5);
    vm->loadFile(library->file("f1"), false);
    EXPECT_EQ(fake()->volume(), 0.5f);
    settle();
    takeLines();
    service->commands().setVolume(0.25);
    settle();
    EXPECT_EQ(takeLines(lines),
              (QStringList{"Volume changed to: 0.25", "Player volume set to: 0.25"}));
    EXPECT_EQ(fake()->volume(), 0.25f);
    EXPECT_EQ(service->volume(), 0.25);
}

TEST_F(SystemIntegration, FullScreenArtworkKeepsTheDisplayAwake) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    using enum SleepMode;
    for (const auto& [playing, fullScreen, mode] : {std::tuple{false, true, displayAndSystem},
                                                    {false, false, none},
                                                    {true, true, displayAndSystem},
                                                    {true, false, systemOnly}}) {
        playing ? player->play() : player->pause();
        vm->setIsFullscreenArtwork(fullScreen);
        vm->updateSleepPrevention();
        EXPECT_EQ(SleepManager::shared().currentMode(), mode);
    }
    EXPECT_EQ(activities, (QList<SleepMode>{displayAndSystem, displayAndSystem, systemOnly}));
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
    }
}

} // namespace
