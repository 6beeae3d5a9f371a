// The view model's system integration: the now-playing record it publishes,
// the remote commands it answers, the volume and sleep prevention.
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/artworkstore.h"
#include "system/mprisservice.h"
#include "system/remotecommands.h"
#include "system/sleepmanager.h"
#include "support/testsupport.h"
#include "system_privatebus.h"
#include "support/viewmodelfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

const QString systemLine = QStringLiteral("SleepManager: Preventing System Sleep");
const QString displayLine = QStringLiteral("SleepManager: Preventing Display & System Sleep");

class SystemIntegration : public PlaybackFixture {
protected:
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
        const MediaItem item = library->file(name);
        auto player = std::make_unique<FakeQueuePlayer>(QList<PlayerItem*>{});
        FakeQueuePlayer* raw = player.get();
        capturedLines([&] {
            vm->setPlayer(std::move(player));
            vm->setSelectedFile(item);
            vm->setCurrentTitle(std::nullopt);
            vm->setCurrentArtist(std::nullopt);
        });
        return raw;
    }
    QVariantMap metadata() const { return service->metadata(); }
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    static QImage image(int width, int height, QColor colour) {
        QImage result(width, height, QImage::Format_RGB32);
        result.fill(colour);
        return result;
    }

    MprisService* service = nullptr;
    QList<SleepMode> activities;
    int held = 0;
};

// ---- The now-playing record ---------------------------------------------

TEST_F(SystemIntegration, NothingLoadedClearsTheRecordAndIsStopped) {
    service->setNowPlaying(NowPlayingInfo{}, NowPlayingState::Playing);
    vm->updateNowPlayingInfo();
    EXPECT_FALSE(service->nowPlaying());
    EXPECT_TRUE(metadata().isEmpty());
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Stopped"));
}

TEST_F(SystemIntegration, AnUntaggedTrackShowsItsFileNameAndUnknownArtist) {
    FakeQueuePlayer* player = selectWithPlayer("f2");
    player->reachTime(1.5);
    vm->updateNowPlayingInfo();
    ASSERT_TRUE(service->nowPlaying());
    EXPECT_EQ(service->nowPlaying()->title, QStringLiteral("f2.wav"));
    EXPECT_EQ(service->nowPlaying()->artist, QStringLiteral("Unknown Artist"));
    EXPECT_EQ(service->nowPlaying()->elapsedSeconds, 1.5);
    EXPECT_EQ(service->nowPlaying()->mediaType, 1u);
    EXPECT_EQ(service->nowPlaying()->url, library->file("f2").url());
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Paused"));
    EXPECT_EQ(service->positionMicroseconds(), 1500000);
}

TEST_F(SystemIntegration, PlayingFollowsThePlayersRate) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    capturedLines([&] { player->play(); });
    vm->updateNowPlayingInfo();
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Playing"));
    EXPECT_EQ(service->nowPlaying()->playbackRate, 1.0f);
    capturedLines([&] { player->pause(); });
    vm->updateNowPlayingInfo();
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Paused"));
    EXPECT_EQ(service->nowPlaying()->playbackRate, 0.0f);
}

TEST_F(SystemIntegration, ASelectedFileWithoutPlayerIsPausedAtZero) {
    capturedLines([&] { vm->setSelectedFile(library->file("g1")); });
    vm->updateNowPlayingInfo();
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Paused"));
    EXPECT_EQ(service->nowPlaying()->elapsedSeconds, 0.0);
    EXPECT_EQ(service->positionMicroseconds(), 0);
}

TEST_F(SystemIntegration, TrackInformationArrivingLaterRefreshesTheRecord) {
    selectWithPlayer("f1");
    vm->updateNowPlayingInfo();
    capturedLines([&] {
        vm->setCurrentTitle(QStringLiteral("Real Title"));
        vm->setCurrentArtist(QStringLiteral("Real Artist"));
        vm->progress()->setDuration(61.5);
    });
    EXPECT_EQ(metadata().value("xesam:title").toString(), QStringLiteral("Real Title"));
    EXPECT_EQ(metadata().value("xesam:artist").toStringList(), QStringList{"Real Artist"});
    EXPECT_EQ(metadata().value("mpris:length").toLongLong(), 61500000);
    // Cleared again (a new load), the fallbacks come back.
    capturedLines([&] {
        vm->setCurrentTitle(std::nullopt);
        vm->setCurrentArtist(std::nullopt);
    });
    EXPECT_EQ(metadata().value("xesam:title").toString(), QStringLiteral("f1.wav"));
    EXPECT_EQ(metadata().value("xesam:artist").toStringList(), QStringList{"Unknown Artist"});
}

TEST_F(SystemIntegration, TrackInformationWithoutASelectedFilePublishesNothing) {
    capturedLines([&] { vm->setCurrentTitle(QStringLiteral("Stray")); });
    EXPECT_FALSE(service->nowPlaying());
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Stopped"));
}

TEST_F(SystemIntegration, UnselectingTheFileClearsTheRecord) {
    selectWithPlayer("f1");
    vm->updateNowPlayingInfo();
    capturedLines([&] { vm->setSelectedFile(std::nullopt); });
    EXPECT_FALSE(service->nowPlaying());
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Stopped"));
}

TEST_F(SystemIntegration, ArtworkWithoutACacheFileGetsOneAndTheRecordPointsAtIt) {
    selectWithPlayer("f1");
    const QImage cover = image(30, 20, Qt::red);
    capturedLines([&] { vm->setCurrentArtwork(cover); });
    // Shown without a link until the file is written, then with it.
    ASSERT_TRUE(waitUntil([&] { return metadata().contains("mpris:artUrl"); }));
    const QUrl artUrl(metadata().value("mpris:artUrl").toString());
    ASSERT_TRUE(artUrl.isLocalFile());
    const QString file = artUrl.toLocalFile();
    EXPECT_TRUE(file.startsWith(MediaCacheManager::shared().subdirectory("Artwork") + '/'));
    EXPECT_TRUE(file.endsWith(".data"));
    const QImage written = decodeImageFile(file);
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.size(), cover.size());
    EXPECT_EQ(written.pixelColor(3, 3), QColor(Qt::red));

    // The same pixels later find the same file without writing it again.
    const QDateTime firstWrite = QFileInfo(file).lastModified();
    capturedLines([&] { vm->setCurrentArtwork(image(30, 20, Qt::red)); });
    EXPECT_EQ(QUrl(metadata().value("mpris:artUrl").toString()).toLocalFile(), file);
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(QFileInfo(file).lastModified(), firstWrite);
}

TEST_F(SystemIntegration, ArtworkFromTheStoreUsesTheStoresFile) {
    const MediaItem track = library->file("g2");
    selectWithPlayer("g2");
    const QImage cover = image(8, 8, Qt::blue);
    cacheArtwork(cover, folderUrlOf(track.url()));
    waitForArtworkFiles();
    AtomicFileWriter::shared().waitForIdle();
    capturedLines([&] { vm->setCurrentArtwork(cachedArtwork(folderUrlOf(track.url()))); });
    EXPECT_EQ(QUrl(metadata().value("mpris:artUrl").toString()).toLocalFile(),
              artworkCacheFilePath(MediaCacheManager::shared(), folderUrlOf(track.url())));
}

TEST_F(SystemIntegration, NoArtworkMeansNoArtUrl) {
    selectWithPlayer("f1");
    capturedLines([&] { vm->setCurrentArtwork(image(4, 4, Qt::green)); });
    ASSERT_TRUE(waitUntil([&] { return metadata().contains("mpris:artUrl"); }));
    capturedLines([&] { vm->setCurrentArtwork(QImage()); });
    EXPECT_FALSE(metadata().contains("mpris:artUrl"));
}

// ---- Remote commands ----------------------------------------------------

TEST_F(SystemIntegration, PlayWithoutAPlayerChangesNothing) {
    service->commands().play();
    service->commands().pause();
    settle();
    EXPECT_EQ(vm->player(), nullptr);
    EXPECT_FALSE(vm->selectedFile());
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Stopped"));
}

TEST_F(SystemIntegration, PlayAndPauseReachThePlayerAfterTheAnswer) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    service->commands().play();
    EXPECT_EQ(player->playCalls, 0);
    settle();
    EXPECT_EQ(player->playCalls, 1);
    service->commands().pause();
    settle();
    EXPECT_EQ(player->pauseCalls, 1);
}

TEST_F(SystemIntegration, ChangingThePositionSeeksThePlayer) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    EXPECT_TRUE(service->commands().changePlaybackPosition(42.0));
    EXPECT_TRUE(player->seeks.isEmpty());
    settle();
    EXPECT_EQ(player->seeks, QList<double>{42.0});
}

TEST_F(SystemIntegration, ClientsAreToldOfAJumpOnceTheSeekHasLanded) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    QSignalSpy seeked(service, &MprisService::seeked);
    capturedLines([&] {
        vm->seek(42.0);
        EXPECT_EQ(seeked.count(), 0);
        player->completeSeek(true);
    });
    ASSERT_EQ(seeked.count(), 1);
    EXPECT_EQ(seeked.at(0).at(0).toDouble(), 42.0);
    // Without a player (unloaded meanwhile) there is no position to tell.
    capturedLines([&] {
        vm->progress()->setIsSeeking(true);
        vm->setPlayer(nullptr);
        vm->progress()->setIsSeeking(false);
    });
    EXPECT_EQ(seeked.count(), 1);
}

TEST_F(SystemIntegration, CommandsOutlivingTheViewModelFailOrDoNothing) {
    const RemoteCommands commands = service->commands();
    vm.reset();
    EXPECT_FALSE(commands.changePlaybackPosition(3.0));
    QString error;
    EXPECT_FALSE(commands.openUrl(QUrl::fromLocalFile(library->path("F/f1.wav")), &error));
    commands.play();
    commands.nextTrack();
    commands.setVolume(0.5);
    settle();
}

TEST_F(SystemIntegration, NextAndPreviousMoveThroughThePlayList) {
    startWithQueue({"f1", "f2", "f3"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    capturedLines([&] {
        service->commands().nextTrack();
        settle();
    });
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(vm->selectedFile()->name(), QStringLiteral("f2.wav"));
    capturedLines([&] {
        service->commands().previousTrack();
        settle();
    });
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(vm->selectedFile()->name(), QStringLiteral("f1.wav"));
}

TEST_F(SystemIntegration, OpeningALibraryFilePlaysItAsAClickWould) {
    QString error;
    EXPECT_TRUE(
        service->commands().openUrl(QUrl::fromLocalFile(library->path("G/g2.wav")), &error));
    EXPECT_FALSE(vm->selectedFile());
    capturedLines([] { settle(); });
    ASSERT_TRUE(vm->selectedFile());
    EXPECT_EQ(vm->selectedFile()->name(), QStringLiteral("g2.wav"));
    EXPECT_EQ(names(vm->playbackQueue()), QStringList{"g2"});
    // Sound starts once the duration is known.
    capturedLines([&] { EXPECT_TRUE(waitUntil([&] { return fake() && fake()->rate() > 0; })); });
}

TEST_F(SystemIntegration, OpeningALibraryFolderPlaysItAsADoubleClickWould) {
    QString error;
    // A trailing separator names the same folder.
    EXPECT_TRUE(service->commands().openUrl(QUrl::fromLocalFile(library->path("H") + '/'), &error));
    capturedLines([] { settle(); });
    EXPECT_EQ(names(vm->playbackQueue()), (QStringList{"h1", "h2"}));
    EXPECT_EQ(vm->selectedFolder()->name(), QStringLiteral("H"));
    ASSERT_TRUE(vm->selectedFile());
    EXPECT_EQ(vm->selectedFile()->name(), QStringLiteral("h1.wav"));
}

TEST_F(SystemIntegration, OpeningAnythingElseIsRefusedAndChangesNothing) {
    writeFile(library->path("F/notes.txt"), "text");
    QDir().mkpath(library->path("Empty"));
    MediaItem root = library->root();
    root.children->append(MediaItem::folder(library->path("Empty")));
    capturedLines([&] { vm->setRootFolder(root); });
    const QList<QUrl> refused = {
        QUrl::fromLocalFile(library->path("F/notes.txt")),
        QUrl::fromLocalFile(library->path("F/missing.wav")),
        QUrl::fromLocalFile(library->path("Empty")),
        QUrl::fromLocalFile(library->path("")),
        QUrl::fromLocalFile(QDir::tempPath()),
        QUrl(QStringLiteral("https://example.org/f1.wav")),
        QUrl(QStringLiteral("not a url at all")),
        QUrl(),
    };
    for (const QUrl& url : refused) {
        QString error;
        EXPECT_FALSE(service->commands().openUrl(url, &error)) << url.toString().toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    capturedLines([] { settle(); });
    EXPECT_FALSE(vm->selectedFile());
    EXPECT_TRUE(vm->playbackQueue().isEmpty());
    EXPECT_EQ(vm->player(), nullptr);
}

TEST_F(SystemIntegration, OpeningWithoutALibraryIsRefused) {
    capturedLines([&] { vm->setRootFolder(std::nullopt); });
    QString error;
    EXPECT_FALSE(
        service->commands().openUrl(QUrl::fromLocalFile(library->path("F/f1.wav")), &error));
}

// ---- Volume -------------------------------------------------------------

TEST_F(SystemIntegration, VolumeFromTheDesktopReachesTheModelAndThePlayer) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    const QStringList lines = capturedLines([&] {
        service->commands().setVolume(0.25);
        settle();
    });
    EXPECT_EQ(vm->volume(), 0.25f);
    EXPECT_EQ(player->volume(), 0.25f);
    EXPECT_EQ(service->volume(), 0.25);
    EXPECT_EQ(lines, (QStringList{"Volume changed to: 0.25", "Player volume set to: 0.25"}));
}

TEST_F(SystemIntegration, VolumeSetWithoutAPlayerReachesTheNextOne) {
    const QStringList lines = capturedLines([&] { vm->setVolume(0.5f); });
    EXPECT_EQ(lines, (QStringList{"Volume changed to: 0.5",
                                  "WARNING: Player is nil when setting volume"}));
    EXPECT_EQ(service->volume(), 0.5);
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    ASSERT_NE(fake(), nullptr);
    EXPECT_EQ(fake()->volume(), 0.5f);
}

// ---- Sleep prevention ---------------------------------------------------

TEST_F(SystemIntegration, PlayingPreventsSystemSleepOnceThroughTheRateObserver) {
    QStringList lines = capturedLines([&] {
        vm->loadFile(library->file("f1"), true);
        // Sound starts once the duration is known.
        EXPECT_TRUE(waitUntil([&] { return fake() && fake()->rate() > 0; }));
    });
    ASSERT_NE(fake(), nullptr);
    EXPECT_EQ(lines.count(systemLine), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(SleepManager::shared().currentMode(), SleepMode::systemOnly);
    EXPECT_EQ(service->playbackStatus(), QStringLiteral("Playing"));
    lines = capturedLines([&] {
        fake()->play();
        fake()->play();
        vm->updateSleepPrevention();
    });
    EXPECT_EQ(lines.count(systemLine), 0);
    EXPECT_EQ(activities, QList<SleepMode>{SleepMode::systemOnly});
    EXPECT_EQ(held, 1);
}

TEST_F(SystemIntegration, FullScreenWhilePausedHoldsTheDisplayAndLeavingIsSilent) {
    selectWithPlayer("f1");
    capturedLines([&] { vm->setIsFullscreenArtwork(true); });
    EXPECT_EQ(capturedLines([&] { vm->updateSleepPrevention(); }), QStringList{displayLine});
    EXPECT_EQ(SleepManager::shared().currentMode(), SleepMode::displayAndSystem);
    capturedLines([&] { vm->setIsFullscreenArtwork(false); });
    EXPECT_TRUE(capturedLines([&] { vm->updateSleepPrevention(); }).isEmpty());
    EXPECT_EQ(SleepManager::shared().currentMode(), SleepMode::none);
    EXPECT_EQ(held, 0);
}

TEST_F(SystemIntegration, LeavingFullScreenWhilePlayingStepsDownToSystemOnly) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    capturedLines([&] {
        player->play();
        vm->setIsFullscreenArtwork(true);
        vm->updateSleepPrevention();
        vm->setIsFullscreenArtwork(false);
    });
    EXPECT_EQ(capturedLines([&] { vm->updateSleepPrevention(); }), QStringList{systemLine});
    EXPECT_EQ(activities, (QList<SleepMode>{SleepMode::displayAndSystem, SleepMode::systemOnly}));
    EXPECT_EQ(held, 1);
}

TEST_F(SystemIntegration, TearingDownTheViewModelAllowsSleep) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    capturedLines([&] {
        player->play();
        vm->updateSleepPrevention();
    });
    ASSERT_EQ(held, 1);
    const QStringList lines = capturedLines([&] { vm.reset(); });
    EXPECT_EQ(held, 0);
    EXPECT_EQ(SleepManager::shared().currentMode(), SleepMode::none);
    EXPECT_EQ(lines.count(systemLine) + lines.count(displayLine), 0);
}

// Unloading or rescanning the folder takes the player away while it plays;
// its rate observer no longer reaches the view model, yet sleep is allowed.
TEST_F(SystemIntegration, PlayerTakenAwayWhilePlayingAllowsSleep) {
    for (const bool rescan : {false, true}) {
        capturedLines([&] {
            vm->openFolder(QUrl::fromLocalFile(library->path("")));
            ASSERT_TRUE(waitUntil([&] { return vm->rootFolder() && !vm->isLoading(); }));
            vm->loadFile(library->file("f1"), true);
            ASSERT_TRUE(waitUntil([&] { return held == 1; }));
            if (rescan)
                vm->rescanFolder();
            else
                vm->unloadFolder();
            settle();
        });
        EXPECT_EQ(held, 0) << (rescan ? "rescan" : "unload");
        EXPECT_EQ(SleepManager::shared().currentMode(), SleepMode::none);
    }
}

TEST_F(SystemIntegration, OverDBusOneInhibitionIsHeldAtATime) {
    systemtest::PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    systemtest::FakeInhibitService portal(bus, {"--portal"});
    ASSERT_TRUE(portal.isReady());
    QDBusConnection connection = bus.connect(QStringLiteral("player"));
    SleepManager::shared().setActivityStarter(
        SleepManager::inhibitorStarter(connection, connection));
    FakeQueuePlayer* player = selectWithPlayer("f1");

    // Playing: one inhibition of suspend and one line, however often the rate changes.
    QStringList lines = capturedLines([&] {
        for (int i = 0; i < 3; ++i) {
            player->play();
            vm->updateSleepPrevention();
        }
    });
    EXPECT_EQ(lines, QStringList{systemLine});
    ASSERT_TRUE(portal.waitForLines(1));
    // Paused: given back without a line.
    lines = capturedLines([&] {
        player->pause();
        vm->updateSleepPrevention();
    });
    EXPECT_TRUE(lines.isEmpty());
    ASSERT_TRUE(portal.waitForLines(2));
    // Full screen while paused: the display too; leaving it is silent.
    lines = capturedLines([&] {
        vm->setIsFullscreenArtwork(true);
        vm->updateSleepPrevention();
    });
    EXPECT_EQ(lines, QStringList{displayLine});
    ASSERT_TRUE(portal.waitForLines(3));
    lines = capturedLines([&] {
        vm->setIsFullscreenArtwork(false);
        vm->updateSleepPrevention();
    });
    EXPECT_TRUE(lines.isEmpty());
    ASSERT_TRUE(portal.waitForLines(4));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(portal.log(),
              (QStringList{"portal-inhibit 1 flags=4 reason=Media Playback", "portal-close 1",
                           "portal-inhibit 2 flags=12 reason=Media Playback", "portal-close 2"}));
}

} // namespace
