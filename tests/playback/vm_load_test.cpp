// Loading a file into a new player: the printed lines, the state it sets,
// the player it builds and the waveform shown, on the fake player.
#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "playback/waveformcache.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"
#include "system/mprisservice.h"

#include <QDir>
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

// A short cached waveform counts as missing: it is computed again, stored,
// and served from the cache in the same turn from then on. Nothing stale is
// shown meanwhile, nor a result for a track no longer selected.
TEST_F(LoadFile, TheWaveformComesFromTheCacheOrIsComputedForTheSelectedTrack) {
    const MediaItem item = library->file("g1");
    const QString cache = waveformCacheFilePath(MediaCacheManager::shared(), item.url());
    writeFile(cache, encodeWaveform(QList<float>(800, 0.5f)));
    vm->setSelectedFile(item);
    vm->setWaveformSamples(QList<float>(1500, 0.25f)); // an earlier track's
    vm->loadWaveform(item);
    EXPECT_TRUE(vm->waveformSamples().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return !vm->waveformSamples().isEmpty(); }));
    const QList<float> computed = vm->waveformSamples();
    AtomicFileWriter::shared().waitForIdle();
    EXPECT_EQ(decodeWaveform(readFile(cache)), computed);
    QFile::remove(item.path()); // from here on only the cache knows the waveform
    vm->setWaveformSamples({});
    vm->loadWaveform(item);
    EXPECT_EQ(vm->waveformSamples(), computed);
    vm->loadWaveform(library->file("g2"));
    vm->setSelectedFile(library->file("g3"));
    QThreadPool::globalInstance()->waitForDone();
    settle();
    EXPECT_TRUE(vm->waveformSamples().isEmpty());
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
        EXPECT_EQ(vm->isBuffering(), row.buffering) << int(row.status) << " " << row.item.toStdString();
    }
}

} // namespace
