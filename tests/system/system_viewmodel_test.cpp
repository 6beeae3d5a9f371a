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

    MprisService* service = nullptr;
    QList<SleepMode> activities;
    int held = 0;
};

// status|title|artist|elapsed|rate|duration after each step, then the artwork.
TEST_F(SystemIntegration, TheRecordAndItsArtworkFollowTheViewModel) {
    const auto shown = [&] {
        const std::optional<NowPlayingInfo>& record = service->nowPlaying();
        EXPECT_EQ(record.has_value(), !service->metadata().isEmpty());
        if (!record)
            return service->playbackStatus();
        EXPECT_EQ(record->url, vm->selectedFile()->url());
        EXPECT_EQ(service->positionMicroseconds(), qint64(record->elapsedSeconds * 1e6));
        return QStringList({service->playbackStatus(), record->title, record->artist,
                            QString::number(record->elapsedSeconds),
                            QString::number(record->playbackRate),
                            QString::number(record->durationSeconds)})
            .join('|');
    };
    service->setNowPlaying(NowPlayingInfo{}, NowPlayingState::Playing); // nobody replaced it
    vm->updateNowPlayingInfo();
    EXPECT_EQ(shown(), "Stopped");
    vm->setCurrentTitle("Stray"); // without a selected file
    EXPECT_EQ(shown(), "Stopped");
    vm->setSelectedFile(library->file("g1")); // without a player
    EXPECT_EQ(shown(), "Paused|Stray|Unknown Artist|0|0|0");
    FakeQueuePlayer* player = selectWithPlayer("f2");
    player->reachTime(1.5);
    vm->updateNowPlayingInfo();
    EXPECT_EQ(shown(), "Paused|f2.wav|Unknown Artist|1.5|0|0");
    player->play();
    vm->updateNowPlayingInfo();
    EXPECT_EQ(shown(), "Playing|f2.wav|Unknown Artist|1.5|1|0");
    vm->setCurrentTitle("Title"); // track information arriving later
    vm->setCurrentArtist("Artist");
    vm->progress()->setDuration(61.5);
    EXPECT_EQ(shown(), "Playing|Title|Artist|1.5|1|61.5");
    vm->setCurrentTitle(std::nullopt); // cleared by a new load
    vm->setCurrentArtist(std::nullopt);
    EXPECT_EQ(shown(), "Playing|f2.wav|Unknown Artist|1.5|1|61.5");

    // Published as a cache file, written once per picture; the store's own file as it is.
    vm->setCurrentArtwork(filledImage(Qt::red, {30, 20}));
    ASSERT_TRUE(waitUntil([&] { return !artFile().isEmpty(); }));
    const QString file = artFile();
    EXPECT_TRUE(file.startsWith(MediaCacheManager::shared().subdirectory("Artwork") + '/'));
    EXPECT_EQ(decodeImageFile(file).pixelColor(3, 3), QColor(Qt::red));
    const QDateTime firstWrite = QFileInfo(file).lastModified();
    vm->setCurrentArtwork(filledImage(Qt::red, {30, 20}));
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_TRUE(artFile() == file && QFileInfo(file).lastModified() == firstWrite);
    const QUrl folder = folderUrlOf(library->file("f2").url());
    cacheArtwork(filledImage(Qt::blue), folder);
    waitForArtworkFiles();
    vm->setCurrentArtwork(cachedArtwork(folder));
    EXPECT_EQ(artFile(), artworkCacheFilePath(MediaCacheManager::shared(), folder));
    vm->setCurrentArtwork(QImage());
    EXPECT_TRUE(artFile().isEmpty());
    vm->setSelectedFile(std::nullopt);
    EXPECT_EQ(shown(), "Stopped");
}

// Commands act once the answer has gone; a jump is told once the seek has landed.
TEST_F(SystemIntegration, CommandsActOnThePlayerAfterTheAnswer) {
    const RemoteCommands commands = service->commands();
    commands.play(); // no player: nothing
    settle();
    FakeQueuePlayer* player = selectWithPlayer("f1");
    commands.play();
    EXPECT_TRUE(commands.changePlaybackPosition(42.0));
    commands.pause();
    commands.setVolume(0.25);
    EXPECT_EQ(player->playCalls + player->pauseCalls + player->seeks.size(), 0);
    settle();
    EXPECT_EQ(QList<int>({player->playCalls, player->pauseCalls}), QList<int>({1, 1}));
    EXPECT_EQ(player->seeks, QList<double>{42.0});
    EXPECT_TRUE(player->volume() == 0.25f && service->volume() == 0.25);
    QSignalSpy seeked(service, &MprisService::seeked);
    player->completeSeek(true);
    vm->progress()->setIsSeeking(true);
    vm->setPlayer(nullptr);
    vm->progress()->setIsSeeking(false);
    EXPECT_EQ(seeked, QList<QVariantList>{{42.0}});
}

// A folder (trailing separator or not) plays as a double click would, after the answer.
TEST_F(SystemIntegration, OpeningPlaysALibraryFileOrFolderAndRefusesAnythingElse) {
    writeFile(library->path("F/notes.txt"), "text");
    QDir().mkpath(library->path("Empty"));
    MediaItem root = library->root();
    root.children->append(MediaItem::folder(library->path("Empty")));
    vm->setRootFolder(root);
    auto file = [&](const QString& path) { return QUrl::fromLocalFile(library->path(path)); };
    QString error;
    for (const QUrl& url : {file("F/notes.txt"), file("F/missing.wav"), file("Empty"), file(""),
                            QUrl::fromLocalFile(QDir::tempPath()), QUrl("https://e.org/f1.wav"),
                            QUrl("not a url at all"), QUrl()}) {
        error.clear();
        EXPECT_FALSE(service->commands().openUrl(url, &error) || error.isEmpty())
            << url.toString().toStdString();
    }
    EXPECT_TRUE(service->commands().openUrl(QUrl(file("H").toString() + '/'), &error));
    EXPECT_FALSE(vm->selectedFile());
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), (QStringList{"h1", "h2"}));
    EXPECT_EQ(vm->selectedFile()->name(), "h1.wav");
    vm->setRootFolder(std::nullopt);
    EXPECT_FALSE(service->commands().openUrl(file("F/f1.wav"), &error));
}

// One activity per mode; the same mode again begins and prints nothing.
TEST_F(SystemIntegration, PlayingAndFullScreenArtworkHoldOneActivityForTheirMode) {
    FakeQueuePlayer* player = selectWithPlayer("f1");
    takeLines();
    using enum SleepMode;
    const char* system = "SleepManager: Preventing System Sleep";
    const char* display = "SleepManager: Preventing Display & System Sleep";
    for (const auto& [playing, fullScreen, mode, line] :
         {std::tuple{false, false, none, ""},
          {true, false, systemOnly, system},
          {true, false, systemOnly, ""},
          {false, false, none, ""},
          {false, true, displayAndSystem, display},
          {true, true, displayAndSystem, ""},
          {true, false, systemOnly, system},
          {true, true, displayAndSystem, display}}) {
        playing ? player->play() : player->pause();
        vm->setIsFullscreenArtwork(fullScreen);
        vm->updateSleepPrevention();
        EXPECT_EQ(SleepManager::shared().currentMode(), mode);
        EXPECT_EQ(takeLines("^SleepManager").join(""), line);
        EXPECT_EQ(held, mode != none);
    }
    EXPECT_EQ(activities,
              (QList<SleepMode>{systemOnly, displayAndSystem, systemOnly, displayAndSystem}));
    SleepManager::shared().allowSleep();
    EXPECT_EQ(held, 0);
    EXPECT_TRUE(takeLines("^SleepManager").isEmpty());
}

} // namespace
