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
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel();
    }
};

// Beyond the rows below: what a change prints, selects, stores and loads.
TEST_F(TrackChange, AdvanceSelectsTheTrackAndItsFolderAndSaysSo) {
    run("queue f1 f2 f3 g1 g2 2; load f3");
    takeLines();
    run("end");
    settle();
    EXPECT_EQ(takeLines("^(Gapless|Enqueued)"),
              QStringList({"Gapless transition to: g1.wav", "Enqueued subsequent track: g2.wav"}));
    EXPECT_EQ(vm->selectedFolderID(), library->folder("G").id());
    EXPECT_EQ(QSettings().value("LastSelectedFilePath").toString(), library->path("G/g1.wav"));
    EXPECT_EQ(vm->currentTitle(), "g1.wav");
    EXPECT_EQ(vm->currentArtist(), "Unknown Artist");
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->duration() > 0; }));
    expectQueueStored();
}

struct FollowCase {
    const char* name;
    const char* steps; // of PlaybackFixture::run
    int index;
    const char* selected;
    const char* items;
    int notified;         // track changes told to the app
    bool playing = false; // the player was started to go on
};

class FollowThePlayer : public TrackChange, public ::testing::WithParamInterface<FollowCase> {};

TEST_P(FollowThePlayer, MovesTheQueueAndTheSelection) {
    const FollowCase& row = GetParam();
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    run(row.steps);
    settle();
    EXPECT_EQ(notified.count(), row.notified);
    EXPECT_EQ(vm->currentQueueIndex(), row.index);
    EXPECT_EQ(vm->selectedFile()->name(), QString(row.selected) + ".wav");
    EXPECT_EQ(playerItems(), QString(row.items).split(' ', Qt::SkipEmptyParts));
    EXPECT_EQ(fake()->rate() > 0, row.playing);
    if (playerItems().size() < 2)
        EXPECT_TRUE(takeLines("^Enqueued subsequent").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FollowThePlayer,
    ::testing::Values(
        FollowCase{"ToTheNextEntry", "queue f1 f2 f3 g1 g2 2; load f3; end", 3, "g1", "g1 g2", 1},
        FollowCase{"ToTheLastEntry", "queue f1 f2 f3 1; load f2; end", 2, "f3", "f3", 1},
        FollowCase{"ADuplicateToItsNextPosition", "queue f1 f2 f1 f2 f3 2; load f1; end", 3, "f2",
                   "f2 f3", 1},
        FollowCase{"WithAnEmptyQueueTheIndexStays", "select F; load f1; end", 0, "f2", "f2", 1},
        FollowCase{"PastTheLastItemTheSelectionStays", "queue f1 f2 1; load f2; end", 1, "f2", "",
                   0},
        // A track shorter than a turn of the GUI thread has ended before its
        // change is handled: the player, which ran out, goes on with the next.
        FollowCase{"TwoEndsInOneTurn", "queue f1 f2 f3 g1 0; load f1; end; end", 2, "f3", "f3 g1",
                   2, true},
        FollowCase{"ToAnItemOutsideThePlayList", "queue f1 f2 0; load f1; enqueue h2; end", 0, "h2",
                   "h2 f2", 1},
        FollowCase{"IntoAFullPlayer", "queue f1 f2 f3 g1 0; load f1; refuse; end", 1, "f2", "f2",
                   1},
        FollowCase{"ADiscardedPlayersEndIsIgnored", "queue f1 f2 f3 0; load f1; end; load f3", 0,
                   "f3", "f3", 0},
        // A failed current item of a playing player is skipped; with nothing
        // after it the player stops.
        FollowCase{"AFailedItemIsSkipped", "queue f1 f2 f3 0; load f1; start; fail", 1, "f2",
                   "f2 f3", 0, true},
        FollowCase{"AFailedLastItemStops", "queue f1 f2 f3 2; load f3; start; fail", 2, "f3", "f3",
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

// A missing file or a sparse placeholder is downloading until its data
// arrives; the poll goes on, so a file removed later is noticed.
TEST_F(TrackChange, DownloadingFollowsTheFilesPresence) {
    vm->setIsDownloading(true);
    vm->loadFile(library->file("g1"), false);
    EXPECT_FALSE(vm->isDownloading());
    vm->loadFile(MediaItem::audioFile(library->path("F/gone.wav")), false);
    EXPECT_TRUE(vm->isDownloading());
    const QString path = library->path("F/cloud.wav");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(5 * 1024 * 1024)); // sparse: nothing allocated
    }
    vm->setCurrentArtwork(QImage(4, 4, QImage::Format_RGB32));
    vm->loadFile(MediaItem::audioFile(path), false);
    EXPECT_TRUE(vm->isDownloading());
    EXPECT_TRUE(vm->currentArtwork().isNull());
    fake()->currentItem()->setPlaybackBufferEmpty(false); // whatever the item reports next
    settle();
    EXPECT_TRUE(vm->isBuffering());
    writeWav(path, 44100 * 30); // the data arrives: 2.6 MB allocated
    EXPECT_TRUE(waitUntil([&] { return !vm->isDownloading(); }, 2500));
    QFile::remove(path);
    EXPECT_TRUE(waitUntil([&] { return vm->isDownloading(); }, 2500));
}

} // namespace
