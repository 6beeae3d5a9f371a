// The player moving on to its next item by itself, and the download poll.
#include "app/appnotifications.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

class TrackChange : public PlaybackFixture {
protected:
    // Loads the queue entry at `index` and lets the player reach its end.
    QStringList loadAndAdvance(const QStringList& queue, int index) {
        startWithQueue(queue, index);
        capturedLines([&] { vm->loadFile(vm->playbackQueue()[index], true); });
        return capturedLines([&] {
            fake()->advance();
            settle();
        });
    }
};

TEST_F(TrackChange, AdvanceMovesIndexAppendsFollowingItemAndNotifiesOnce) {
    makeViewModel();
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    const QStringList lines = loadAndAdvance({"f1", "f2", "f3", "g1", "g2"}, 2);

    EXPECT_EQ(vm->currentQueueIndex(), 3);
    EXPECT_EQ(names(fake()->items()), QStringList({"g1", "g2"}));
    EXPECT_EQ(notified.count(), 1);
    EXPECT_TRUE(lines.contains("Gapless transition to: g1.wav"));
    EXPECT_TRUE(lines.contains("Enqueued subsequent track: g2.wav"));
    EXPECT_EQ(vm->selectedFileID(), library->file("g1").id());
    EXPECT_EQ(vm->selectedFolderID(), library->folder("G").id());
    EXPECT_EQ(QSettings().value("LastSelectedFilePath").toString(), library->path("G/g1.wav"));
    EXPECT_EQ(vm->currentTitle(), "g1.wav");
    EXPECT_EQ(vm->currentArtist(), "Unknown Artist");
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->duration() > 0; }));
    const auto stored = storedQueue();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->index, 3);
}

// A track shorter than the turn of the GUI thread (under 100 ms) has ended
// before its change is handled: the handler follows the item the player
// announced, and the player, which ran out, goes on with the next entry.
TEST_F(TrackChange, ShortTrackEndedBeforeItsChangeWasHandledStillMovesTheQueueOn) {
    makeViewModel();
    startWithQueue({"f1", "f2", "f3", "g1"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), true); });
    const QStringList lines = capturedLines([&] {
        fake()->advance(); // f1 ends: f2 plays...
        fake()->advance(); // ...and ends too, all before the handlers run
        settle();
    });
    EXPECT_TRUE(lines.contains("Gapless transition to: f2.wav"));
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(vm->selectedFileID(), library->file("f3").id());
    EXPECT_EQ(names(fake()->items()), QStringList({"f3", "g1"}));
    EXPECT_GT(fake()->rate(), 0.0f);
}

TEST_F(TrackChange, AdvanceToTheLastEntryAppendsNothing) {
    makeViewModel();
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    const QStringList lines = loadAndAdvance({"f1", "f2", "f3"}, 1);
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(names(fake()->items()), QStringList{"f3"});
    EXPECT_TRUE(lines.filter("Enqueued subsequent track").isEmpty());
    EXPECT_EQ(notified.count(), 1);
}

TEST_F(TrackChange, DuplicateEntryAdvancesToTheNextPosition) {
    makeViewModel();
    loadAndAdvance({"f1", "f2", "f1", "f2", "f3"}, 2);
    EXPECT_EQ(vm->currentQueueIndex(), 3) << "not the first f2 at position 1";
    EXPECT_EQ(names(fake()->items()), QStringList({"f2", "f3"}));
}

TEST_F(TrackChange, WithAnEmptyQueueTheIndexStaysAndNothingMoreIsEnqueued) {
    makeViewModel();
    vm->setSelectedFolder(library->folder("F"));
    capturedLines([&] { vm->loadFile(library->file("f1"), true); });
    EXPECT_EQ(names(fake()->items()), QStringList({"f1", "f2"}));
    capturedLines([&] {
        fake()->advance();
        settle();
    });
    EXPECT_EQ(vm->selectedFileID(), library->file("f2").id());
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(names(fake()->items()), QStringList{"f2"}) << "playback stops after f2";
}

TEST_F(TrackChange, EndOfTheLastItemKeepsTheSelection) {
    makeViewModel();
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    loadAndAdvance({"f1", "f2"}, 1);
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(vm->selectedFileID(), library->file("f2").id());
    EXPECT_EQ(vm->player(), fake()) << "the stopped player stays";
    EXPECT_EQ(notified.count(), 0);
}

TEST_F(TrackChange, ItemOutsideThePlayListIsFoundInTheLibrary) {
    makeViewModel();
    startWithQueue({"f1", "f2"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), true); });
    fake()->remove(fake()->items()[1]);
    fake()->insert(vm->makePlayerItem(library->file("h2").url()));
    capturedLines([&] {
        fake()->advance();
        settle();
    });
    EXPECT_EQ(vm->selectedFileID(), library->file("h2").id());
    EXPECT_EQ(vm->currentQueueIndex(), 0) << "not in the queue: assigned its old value";
}

TEST_F(TrackChange, FullPlayerGetsNoSubsequentItem) {
    makeViewModel();
    startWithQueue({"f1", "f2", "f3", "g1"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), true); });
    fake()->acceptsItems = false;
    const QStringList lines = capturedLines([&] {
        fake()->advance();
        settle();
    });
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(names(fake()->items()), QStringList{"f2"});
    EXPECT_TRUE(lines.filter("Enqueued subsequent track").isEmpty());
}

TEST_F(TrackChange, ChangesOfADiscardedPlayerAreIgnored) {
    makeViewModel();
    startWithQueue({"f1", "f2", "f3"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), true); });
    FakeQueuePlayer* old = fake();
    capturedLines([&] {
        old->advance(); // queued before the next load
        vm->loadFile(library->file("f3"), true);
        settle();
    });
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(vm->selectedFileID(), library->file("f3").id());
}

class DownloadStatus : public PlaybackFixture {};

TEST_F(DownloadStatus, SparsePlaceholderCountsAsDownloadingAndPollingNoticesTheData) {
    makeViewModel();
    const QString path = library->path("F/cloud.wav");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(5 * 1024 * 1024)); // sparse: nothing allocated
    }
    vm->setCurrentArtwork(QImage(4, 4, QImage::Format_RGB32));
    capturedLines([&] { vm->loadFile(MediaItem::audioFile(path), false); });
    EXPECT_TRUE(vm->isDownloading());
    EXPECT_TRUE(vm->currentArtwork().isNull());
    fake()->currentItem()->setPlaybackBufferEmpty(false); // whatever the item reports next
    settle();
    EXPECT_TRUE(vm->isBuffering());

    writeWav(path, 44100 * 30); // the data arrives: 2.6 MB allocated
    capturedLines([&] { EXPECT_TRUE(waitUntil([&] { return !vm->isDownloading(); }, 2500)); });
}

TEST_F(DownloadStatus, MissingFileCountsAsDownloading) {
    makeViewModel();
    capturedLines([&] { vm->loadFile(MediaItem::audioFile(library->path("F/gone.wav")), false); });
    EXPECT_TRUE(vm->isDownloading());
    fake()->currentItem()->setFailed("No such file or directory");
    settle();
    EXPECT_TRUE(vm->isBuffering());
}

TEST_F(DownloadStatus, LocalFileIsNotDownloadingAndPollingGoesOn) {
    makeViewModel();
    vm->setIsDownloading(true);
    capturedLines([&] { vm->loadFile(library->file("g1"), false); });
    EXPECT_FALSE(vm->isDownloading());
    // The poll still runs: a file removed afterwards is noticed within a second or so.
    QFile::remove(library->path("G/g1.wav"));
    EXPECT_TRUE(waitUntil([&] { return vm->isDownloading(); }, 2500));
}

} // namespace
