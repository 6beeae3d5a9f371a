// Loading a file into a new player: the printed lines, the state it sets,
// the player it builds and the waveform shown, on the fake player; seeking
// through the view model and the position saved at quit.
#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "playback/playbackpositionstore.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"
#include "system/mprisservice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QThreadPool>

using namespace testsupport;
using namespace vmtest;

namespace {

class LoadFile : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel();
    }
};

// A file that is no audio changes nothing; a track sets the state.
TEST_F(LoadFile, SetsTrackStateSelectsFolderAndEnqueuesNext) {
    QSignalSpy loading(vm.get(), &MediaLibraryViewModel::isLoadingChanged);
    vm->loadFile(item("song.txt"), true);
    EXPECT_EQ(
        takeLines("^(Attempting|File)"),
        QStringList({"Attempting to load file: song.txt, autoPlay: true", "File is not audio"}));
    EXPECT_TRUE(!vm->selectedFile() && !vm->player() && loading.count() == 0);
    EXPECT_FALSE(QSettings().contains("LastSelectedFilePath"));
    run("queue f1 f2 f3 0");
    vm->setVolume(0.5f);
    vm->progress()->setCurrentTime(12);
    takeLines();
    vm->loadFile(library->file("f1"), false);
    EXPECT_EQ(takeLines("^(Attempting|Enqueued)"),
              QStringList({"Attempting to load file: f1.wav, autoPlay: false",
                           "Enqueued next track: f2.wav"}));
    EXPECT_TRUE(vm->selectedFileID() == library->file("f1").id() &&
                vm->selectedFolderID() == library->folder("F").id());
    const QSettings settings;
    EXPECT_EQ(settings.value("LastSelectedFilePath").toString(), library->path("F/f1.wav"));
    EXPECT_EQ(settings.value("LastSelectedFolderPath").toString(), library->path("F"));
    EXPECT_EQ(vm->currentTitle(), "f1.wav");
    EXPECT_EQ(vm->currentArtist(), "Unknown Artist");
    EXPECT_EQ(vm->progress()->currentTime(), 0.0);
    EXPECT_EQ(playerItems(), QStringList({"f1", "f2"}));
    EXPECT_EQ(fake()->volume(), 0.5f);
}

// Auto-play starts once the duration is known, never from a duration that
// arrives after the user moved on; an unreadable one still plays.
TEST_F(LoadFile, AutoPlayStartsOnceTheDurationIsKnown) {
    for (const bool autoPlay : {true, false}) {
        vm->loadFile(library->file(autoPlay ? "f1" : "h1"), autoPlay);
        EXPECT_EQ(fake()->playCalls, 0) << "no sound before the duration is known";
        ASSERT_TRUE(waitUntil([&] { return vm->progress()->duration() > 0; }));
        settle();
        EXPECT_EQ(fake()->playCalls, autoPlay ? 1 : 0);
        EXPECT_NEAR(vm->progress()->duration(), 0.1, 1e-9); // 4410 frames at 44.1 kHz
        EXPECT_EQ(takeLines().contains("Player initialized and play called (duration loaded)"),
                  autoPlay);
    }
    writeWav(library->path("H/long.wav"), 3 * 44100);
    vm->loadFile(library->file("h1"), true);
    vm->loadFile(MediaItem::audioFile(library->path("H/long.wav")), false);
    settle();
    EXPECT_EQ(vm->progress()->duration(), 3.0);
    EXPECT_EQ(fake()->playCalls, 0) << "the first load's auto-play must not start the second";
    writeFile(library->path("F/broken.mp3"), QByteArray(8000, '\x5a'));
    vm->loadFile(MediaItem::audioFile(library->path("F/broken.mp3")), true);
    ASSERT_TRUE(waitUntil([&] { return fake()->playCalls == 1; }));
    EXPECT_EQ(takeLines("^Failed to load duration: .+").size(), 1);
    EXPECT_EQ(vm->progress()->duration(), 0.0);
}

// A pause pressed while the duration loads wins over the auto-play; waiting
// counts as not playing.
TEST_F(LoadFile, PlayPauseAndAPauseBeforeTheAutoPlayWins) {
    vm->togglePlayPause(); // no player: nothing
    for (const bool remote : {false, true}) {
        vm->loadFile(library->file(remote ? "f2" : "f1"), true);
        remote ? vm->nowPlayingService()->commands().pause() : vm->togglePlayPause();
        settle();
        EXPECT_GT(vm->progress()->duration(), 0);
        EXPECT_EQ(fake()->rate(), 0.0f) << (remote ? "media key" : "play/pause");
    }
    vm->togglePlayPause();
    EXPECT_EQ(fake()->timeControlStatus(), QueuePlayer::TimeControlStatus::Playing);
    fake()->setTimeControlStatus(QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
    vm->togglePlayPause();
    EXPECT_EQ(fake()->playCalls, 2);
}

// Rapid clicks while every pool thread is busy: the duration that starts
// playback does not wait behind that work, and the waveform and metadata of
// files already left are never computed.
TEST_F(LoadFile, ClicksDoNotWaitBehindBackgroundWorkAndLeftFilesAreSkipped) {
    const int threads = QThreadPool::globalInstance()->maxThreadCount();
    QSemaphore started, release;
    for (int i = 0; i < threads; ++i)
        QThreadPool::globalInstance()->start([&] { started.release(), release.acquire(); });
    started.acquire(threads);
    for (const char* name : {"f1", "f2", "f3"})
        vm->loadFile(library->file(name), true);
    EXPECT_TRUE(waitUntil([&] { return fake()->playCalls == 1; }))
        << "the duration queued behind the busy pool";
    release.release(threads);
    ASSERT_TRUE(waitUntil([&] { return !vm->waveformSamples().isEmpty() && !vm->isLoading(); }));
    QThreadPool::globalInstance()->waitForDone();
    settle();
    AtomicFileWriter::shared().waitForIdle();
    const QString f3 = cacheKey(library->file("f3").url()) + ".json";
    for (const char* folder : {"Waveforms", "Metadata"})
        EXPECT_EQ(QDir(MediaCacheManager::shared().subdirectory(folder)).entryList(QDir::Files),
                  QStringList{f3})
            << folder;
}

TEST_F(LoadFile, ANewLoadDiscardsThePreviousPlayerAndItsObservers) {
    run("queue f1 f2 f3 0; load f1");
    QPointer<FakeQueuePlayer> first = fake();
    first->play();
    const std::shared_ptr<FakePlayerLog> firstLog = lastLog;
    // Signals that the old player and item send on their way out change nothing.
    first->items().first()->setReady(99);
    vm->loadFile(library->file("f2"), false);
    settle();
    EXPECT_TRUE(first.isNull() && firstLog->pausedBeforeDestruction);
    EXPECT_EQ(firstLog->itemsAtDestruction + firstLog->timeObserversAtDestruction, 0);
    EXPECT_NE(vm->progress()->duration(), 99.0) << "the old item's duration arrived late";
    EXPECT_EQ(playerItems(), QStringList({"f2", "f3"}));
    // The one time observer moved to the new player.
    fake()->reachTime(0.5);
    EXPECT_EQ(vm->progress()->currentTime(), 0.5);
    vm->removeTimeObserver();
    fake()->reachTime(0.75);
    EXPECT_EQ(vm->progress()->currentTime(), 0.5);
    // The new item's observations set the duration; an unknown one is not taken.
    takeLines();
    fake()->items().first()->setReady(83.25);
    settle();
    EXPECT_EQ(takeLines("^PlayerItem ready"),
              QStringList{"PlayerItem ready: Updated duration to 83.25"});
    fake()->items().first()->setDuration(90.5), fake()->items().first()->setDuration(0);
    settle();
    EXPECT_EQ(vm->progress()->duration(), 90.5);
}

// The item's state is given by words: empty (buffer), ready, failed,
// downloading, gone (no item).
TEST_F(LoadFile, BufferingFollowsThePlayerTheItemAndTheDownload) {
    using enum QueuePlayer::TimeControlStatus;
    const struct {
        QueuePlayer::TimeControlStatus status;
        QString item;
        bool buffering;
    } rows[] = {
        {Playing, "ready", false},
        {Paused, "ready", false},
        {WaitingToPlayAtSpecifiedRate, "ready", true},
        {Playing, "empty ready", true},
        {Playing, "", true},
        {Playing, "ready failed", true},
        {Playing, "ready downloading", true},
        {Playing, "ready gone", true},
    };
    for (const auto& row : rows) {
        vm->loadFile(library->file("g1"), false);
        settle();
        PlayerItem* item = fake()->currentItem();
        item->setPlaybackBufferEmpty(row.item.contains("empty"));
        if (row.item.contains("ready"))
            item->setReady(1);
        if (row.item.contains("failed"))
            item->setFailed("broken");
        if (row.item.contains("gone"))
            fake()->removeAllItems();
        fake()->setTimeControlStatus(row.status);
        vm->setIsDownloading(row.item.contains("downloading"));
        vm->updateBufferingState();
        EXPECT_EQ(vm->isBuffering(), row.buffering)
            << int(row.status) << " " << row.item.toStdString();
    }
}

class Progress : public LoadFile {
protected:
    void SetUp() override {
        LoadFile::SetUp();
        vm->seek(1); // without a player: nothing
        EXPECT_FALSE(vm->progress()->isSeeking());
        vm->loadFile(library->file("f1"), false);
    }
};

// A seek goes to the nearest media time step and holds the time until it
// completes or is interrupted; late periodic updates do not move it.
TEST_F(Progress, ASeekHoldsTheTimeUntilItCompletesOrIsInterrupted) {
    fake()->reachTime(3);
    vm->seek(40.0001);
    EXPECT_TRUE(vm->progress()->isSeeking());
    EXPECT_EQ(vm->progress()->currentTime(), 3.0) << "seeking does not write the time";
    fake()->reachTime(3.05); // a late periodic update from before the seek
    EXPECT_EQ(vm->progress()->currentTime(), 3.0);
    fake()->completeSeek(true);
    EXPECT_FALSE(vm->progress()->isSeeking());
    fake()->reachTime(40);
    EXPECT_EQ(vm->progress()->currentTime(), 40.0);
    vm->seek(83.25), fake()->completeSeek(false);
    EXPECT_FALSE(vm->progress()->isSeeking());
    vm->seek(-3);
    EXPECT_EQ(fake()->seeks, QList<double>({40.0, 83.25, 0.0}));
}

TEST_F(Progress, QuittingSavesTheSecondsAsAJsonNumberOnceTheTrackHasStarted) {
    const QString folder = MediaCacheManager::shared().subdirectory("PlaybackPositions");
    const QString file = folder + '/' + cacheKey(library->file("f1").url()) + ".json";
    vm->savePlaybackPosition(); // at zero: nothing
    EXPECT_TRUE(takeLines("^Saved").isEmpty() && !QFile::exists(file));
    fake()->reachTime(83.25);
    vm->savePlaybackPosition();
    EXPECT_EQ(takeLines("^Saved"), QStringList{"Saved playback position: 83.25 for f1.wav"});
    EXPECT_EQ(readFile(file), "83.25");
    // The same track shares one file and the later quit wins.
    vm->loadFile(library->file("f2"), false);
    vm->loadFile(library->file("f1"), false);
    fake()->reachTime(0.1 + 0.2);
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_EQ(PlaybackPositionStore::decode(readFile(file)), 0.1 + 0.2);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
    fake()->reachTime(5); // without its folder the position is lost, and nothing breaks
    QDir(folder).removeRecursively();
    vm->savePlaybackPosition();
    EXPECT_FALSE(QFile::exists(file));
}

TEST(PlaybackPositionStore, EncodesNumbersThatReadBackExactly) {
    for (double seconds : {83.25, 0.1 + 0.2, 1e-7, 12345678.875, 1e21})
        EXPECT_EQ(PlaybackPositionStore::decode(PlaybackPositionStore::encode(seconds)), seconds);
    EXPECT_TRUE(PlaybackPositionStore::encode(std::numeric_limits<double>::infinity()).isEmpty());
    for (const char* bad : {"\"83\"", "1],[2", ""})
        EXPECT_FALSE(PlaybackPositionStore::decode(bad)) << bad;
}

} // namespace
