// Loading a file into a new player on the fake player: the printed lines,
// the state it sets, the player it builds; seeking and the position saved at
// quit; the player moving on by itself; the download poll.
#include "app/appnotifications.h"
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
    EXPECT_TRUE(!vm->selectedFile() && !vm->player() && loading.count() == 0 &&
                !QSettings().contains("LastSelectedFilePath"));
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
    EXPECT_TRUE(vm->progress()->currentTime() == 0 && fake()->volume() == 0.5f);
    EXPECT_EQ(playerItems(), QStringList({"f1", "f2"}));
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
    EXPECT_TRUE(vm->progress()->duration() == 3 && fake()->playCalls == 0)
        << "the first load's auto-play must not start the second";
    vm->loadFile(item("broken.mp3"), true); // a file of one byte
    ASSERT_TRUE(waitUntil([&] { return fake()->playCalls == 1; }));
    EXPECT_EQ(takeLines("^Failed to load duration: .+").size(), 1);
    EXPECT_EQ(vm->progress()->duration(), 0.0);
}

// A pause pressed while the duration loads wins over the auto-play.
TEST_F(LoadFile, PlayPauseAndAPauseBeforeTheAutoPlayWins) {
    vm->togglePlayPause(); // no player: nothing
    for (const bool remote : {false, true}) {
        vm->loadFile(library->file(remote ? "f2" : "f1"), true);
        remote ? vm->nowPlayingService()->commands().pause() : vm->togglePlayPause();
        settle();
        EXPECT_TRUE(vm->progress()->duration() > 0 && fake()->rate() == 0) << remote;
    }
    vm->togglePlayPause();
    EXPECT_EQ(fake()->timeControlStatus(), QueuePlayer::TimeControlStatus::Playing);
    vm->togglePlayPause();
    EXPECT_EQ(fake()->timeControlStatus(), QueuePlayer::TimeControlStatus::Paused);
    fake()->setTimeControlStatus(QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
    vm->togglePlayPause(); // waiting for its first frames counts as playing: the press pauses
    EXPECT_EQ(fake()->timeControlStatus(), QueuePlayer::TimeControlStatus::Paused);
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
    fake()->items().first()->setReady(83.25);
    settle();
    EXPECT_EQ(vm->progress()->duration(), 83.25);
    fake()->items().first()->setDuration(90.5), fake()->items().first()->setDuration(0);
    settle();
    EXPECT_EQ(vm->progress()->duration(), 90.5);
}

// A row: the player's status, the item's state (buffer empty, ready, failed,
// gone) and the download; then whether the view shows buffering.
TEST_F(LoadFile, BufferingFollowsThePlayerTheItemAndTheDownload) {
    using enum QueuePlayer::TimeControlStatus;
    for (const QString row :
         {"playing ready: no", "paused ready: no", "waiting ready: yes", "playing empty ready: yes",
          "playing: yes", "playing ready failed: yes", "playing ready downloading: yes",
          "playing ready gone: yes"}) {
        vm->loadFile(library->file("g1"), false);
        settle();
        PlayerItem* item = fake()->currentItem();
        item->setPlaybackBufferEmpty(row.contains("empty"));
        if (row.contains("ready"))
            item->setReady(1);
        if (row.contains("failed"))
            item->setFailed("broken");
        if (row.contains("gone"))
            fake()->removeAllItems();
        fake()->setTimeControlStatus(row.startsWith("paused")    ? Paused
                                     : row.startsWith("waiting") ? WaitingToPlayAtSpecifiedRate
                                                                 : Playing);
        vm->setIsDownloading(row.contains("downloading"));
        vm->updateBufferingState();
        EXPECT_EQ(vm->isBuffering(), row.endsWith("yes")) << row.toStdString();
    }
}

// A seek goes to the nearest media time step and holds the time until it
// completes or is interrupted; late periodic updates do not move it.
TEST_F(LoadFile, ASeekHoldsTheTimeUntilItCompletesOrIsInterrupted) {
    vm->seek(1); // without a player: nothing
    EXPECT_FALSE(vm->progress()->isSeeking());
    run("load f1");
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

TEST_F(LoadFile, QuittingSavesTheSecondsAsAJsonNumberOnceTheTrackHasStarted) {
    run("load f1");
    const QString folder = MediaCacheManager::shared().subdirectory("PlaybackPositions");
    const QString file = folder + '/' + cacheKey(library->file("f1").url()) + ".json";
    vm->savePlaybackPosition(); // at zero: nothing
    EXPECT_TRUE(takeLines("^Saved").isEmpty() && !QFile::exists(file));
    fake()->reachTime(83.25);
    vm->savePlaybackPosition();
    EXPECT_EQ(takeLines("^Saved"), QStringList{"Saved playback position: 83.25 for f1.wav"});
    EXPECT_EQ(readFile(file), "83.25");
    run("load f2; load f1"); // the same track shares one file and the later quit wins
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

// name | steps of PlaybackFixture::run | index | selected | the player's items |
// track changes told to the app | whether the player was started to go on
class FollowThePlayer : public LoadFile, public ::testing::WithParamInterface<const char*> {
protected:
    QString column(int i) const { return QString(GetParam()).section('|', i, i).trimmed(); }
};

TEST_P(FollowThePlayer, MovesTheQueueAndTheSelection) {
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    run(column(1));
    settle();
    EXPECT_EQ(vm->currentQueueIndex(), column(2).toInt());
    EXPECT_EQ(vm->selectedFile()->name(), column(3) + ".wav");
    EXPECT_EQ(playerItems(), column(4).split(' ', Qt::SkipEmptyParts));
    EXPECT_EQ(notified.count(), column(5).toInt());
    EXPECT_EQ(fake()->rate() > 0, column(6) == "playing");
    // What a change prints, selects, stores: the change to g1 in the first row.
    const QStringList lines = takeLines("^(Gapless|Enqueued subsequent)");
    if (column(0) == "ToTheNextEntry") {
        EXPECT_EQ(lines, QStringList({"Gapless transition to: g1.wav",
                                      "Enqueued subsequent track: g2.wav"}));
        EXPECT_EQ(vm->selectedFolderID(), library->folder("G").id());
        EXPECT_EQ(QSettings().value("LastSelectedFilePath").toString(), library->path("G/g1.wav"));
        expectQueueStored();
    }
    if (playerItems().size() < 2)
        EXPECT_TRUE(lines.filter("Enqueued").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FollowThePlayer,
    ::testing::Values(
        "ToTheNextEntry | queue f1 f2 f3 g1 g2 2; load f3; end | 3 | g1 | g1 g2 | 1",
        "ToTheLastEntry | queue f1 f2 f3 1; load f2; end | 2 | f3 | f3 | 1",
        "ADuplicateToItsNextPosition | queue f1 f2 f1 f2 f3 2; load f1; end | 3 | f2 | f2 f3 | 1",
        "WithAnEmptyQueueTheIndexStays | select F; load f1; end | 0 | f2 | f2 | 1",
        "PastTheLastItemTheSelectionStays | queue f1 f2 1; load f2; end | 1 | f2 | | 0",
        // A track shorter than a turn of the GUI thread has ended before its
        // change is handled: the player, which ran out, goes on with the next.
        "TwoEndsInOneTurn | queue f1 f2 f3 g1 0; load f1; end; end | 2 | f3 | f3 g1 | 2 | playing",
        "ToAnItemOutsideThePlayList | queue f1 f2 0; load f1; enqueue h2; end | 0 | h2 | h2 f2 | 1",
        "IntoAFullPlayer | queue f1 f2 f3 g1 0; load f1; refuse; end | 1 | f2 | f2 | 1",
        "ADiscardedPlayersEndIsIgnored | queue f1 f2 f3 0; load f1; end; load f3 | 0 | f3 | f3 | 0",
        // A failed current item of a playing player is skipped; with nothing
        // after it the player stops.
        "AFailedItemIsSkipped | queue f1 f2 f3 0; load f1; start; fail | 1 | f2 | f2 f3 | 0 |"
        " playing",
        "AFailedLastItemStops | queue f1 f2 f3 2; load f3; start; fail | 2 | f3 | f3 | 0"),
    [](const auto& info) {
        return QString(info.param).section('|', 0, 0).trimmed().toStdString();
    });

// A missing file or a sparse placeholder is downloading until its data
// arrives; the poll goes on, so a file removed later is noticed.
TEST_F(LoadFile, DownloadingFollowsTheFilesPresence) {
    vm->setIsDownloading(true);
    vm->loadFile(library->file("g1"), false);
    EXPECT_FALSE(vm->isDownloading());
    vm->loadFile(MediaItem::audioFile(library->path("F/gone.wav")), false);
    EXPECT_TRUE(vm->isDownloading());
    const QString path = library->path("F/cloud.wav");
    ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly) && QFile::resize(path, 5 << 20)); // sparse
    vm->setCurrentArtwork(QImage(4, 4, QImage::Format_RGB32));
    vm->loadFile(MediaItem::audioFile(path), false);
    EXPECT_TRUE(vm->isDownloading() && vm->currentArtwork().isNull());
    fake()->currentItem()->setPlaybackBufferEmpty(false); // whatever the item reports next
    settle();
    EXPECT_TRUE(vm->isBuffering());
    writeWav(path, 44100 * 30); // the data arrives: 2.6 MB allocated
    EXPECT_TRUE(waitUntil([&] { return !vm->isDownloading(); }, 2500));
    QFile::remove(path);
    EXPECT_TRUE(waitUntil([&] { return vm->isDownloading(); }, 2500));
}

} // namespace
