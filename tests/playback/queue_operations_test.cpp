// Queue editing and navigation on the fake player: the resulting queue and
// index, the order in which they are stored, and the player's second item.
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

class QueueOperations : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel();
        QObject::connect(vm.get(), &MediaLibraryViewModel::playbackQueueChanged,
                         [this] { assignments.append("queue"); });
        QObject::connect(vm.get(), &MediaLibraryViewModel::currentQueueIndexChanged,
                         [this] { assignments.append("index"); });
    }

    // A queue restored from an earlier run with its entry at `index` loaded.
    void playing(const QStringList& queue, int index) {
        startWithQueue(queue, index);
        capturedLines([&] { vm->loadFile(library->file(queue[index]), false); });
        assignments.clear();
    }
    void run(const std::function<void()>& operation) {
        assignments.clear();
        capturedLines(operation);
        settle();
    }
    QStringList queue() const { return names(vm->playbackQueue()); }
    QStringList playerItems() const { return fake() ? names(fake()->items()) : QStringList(); }
    void expectStored() {
        const auto stored = storedQueue();
        ASSERT_TRUE(stored);
        EXPECT_EQ(names(stored->queue), queue());
        EXPECT_EQ(stored->index, vm->currentQueueIndex());
    }

    QStringList assignments;
};

TEST_F(QueueOperations, FolderPlayedWithAnEmptyQueueBecomesTheQueue) {
    run([&] { vm->playFolder(library->folder("F")); });
    EXPECT_EQ(queue(), QStringList({"f1", "f2", "f3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(assignments, QStringList({"queue", "index"}));
    EXPECT_EQ(playerItems(), QStringList({"f1", "f2"}));
    EXPECT_EQ(vm->selectedFolderID(), library->folder("F").id());
    EXPECT_EQ(vm->selectedFileID(), library->file("f1").id());
    capturedLines([&] { EXPECT_TRUE(waitUntil([&] { return fake()->playCalls == 1; })); });
    expectStored();
}

TEST_F(QueueOperations, FolderPlayedDuringPlaybackGoesAfterTheCurrentEntry) {
    playing({"f1", "f2"}, 0);
    run([&] { vm->playFolder(library->folder("H")); });
    EXPECT_EQ(queue(), QStringList({"f1", "h1", "h2", "f2"}));
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(playerItems(), QStringList({"h1", "h2"}));
    EXPECT_EQ(names(vm->flattenedFiles()), QStringList({"h1", "h2"}));
    expectStored();
}

TEST_F(QueueOperations, FolderWithoutAudioChangesOnlyTheSelection) {
    playing({"f1", "f2"}, 0);
    const MediaItem empty = MediaItem::folder(library->path("Empty"));
    run([&] { vm->playFolder(empty); });
    EXPECT_EQ(vm->selectedFolderID(), empty.id());
    EXPECT_EQ(queue(), QStringList({"f1", "f2"}));
    EXPECT_TRUE(assignments.isEmpty());
}

TEST_F(QueueOperations, PlayItemInsertsAfterTheCurrentEntryAndPlaysIt) {
    playing({"f1", "f2", "f3"}, 0);
    run([&] { vm->playItem(library->file("g1"), 0, true); });
    EXPECT_EQ(queue(), QStringList({"f1", "g1", "f2", "f3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(assignments, QStringList({"queue", "index"}));
    EXPECT_EQ(vm->selectedFileID(), library->file("g1").id());
    EXPECT_EQ(playerItems(), QStringList({"g1", "f2"}));
    capturedLines([&] { EXPECT_TRUE(waitUntil([&] { return fake()->playCalls == 1; })); });
    expectStored();
}

TEST_F(QueueOperations, PlayItemWithoutInsertionJumps) {
    playing({"f1", "f2", "f3"}, 0);
    run([&] { vm->playItem(library->file("f3"), 2, false); });
    EXPECT_EQ(queue(), QStringList({"f1", "f2", "f3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(assignments, QStringList{"index"});
    EXPECT_EQ(playerItems(), QStringList{"f3"});
}

TEST_F(QueueOperations, PlayNextPutsAFolderAfterTheCurrentEntry) {
    playing({"f1", "f2", "f3"}, 1);
    EXPECT_EQ(playerItems(), QStringList({"f2", "f3"}));
    run([&] { vm->playNext(library->folder("X")); });
    EXPECT_EQ(queue(), QStringList({"f1", "f2", "x1", "x2", "f3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(assignments, QStringList{"queue"});
    EXPECT_EQ(playerItems(), QStringList({"f2", "x1"}));
    expectStored();
}

TEST_F(QueueOperations, PlayNextWithNothingLoadedPlaysTheItem) {
    run([&] { vm->playNext(library->folder("G")); });
    EXPECT_EQ(queue(), QStringList{"g1"});
    EXPECT_EQ(vm->selectedFileID(), library->file("g1").id());
    EXPECT_EQ(playerItems(), QStringList{"g1"});
}

TEST_F(QueueOperations, PlayNextSeedsAnEmptyQueueWithTheFolderFiles) {
    vm->setSelectedFolder(library->folder("F"));
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    run([&] { vm->playNext(library->file("h2")); });
    EXPECT_EQ(queue(), QStringList({"f1", "h2", "f2", "f3"}));
    EXPECT_EQ(assignments, QStringList({"queue", "queue"}));
    EXPECT_EQ(playerItems(), QStringList({"f1", "h2"}));
}

TEST_F(QueueOperations, PlayNowGoesBeforeTheCurrentEntry) {
    playing({"f1", "f2", "f3"}, 1);
    run([&] { vm->playNow(library->file("g1")); });
    EXPECT_EQ(queue(), QStringList({"f1", "g1", "f2", "f3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(assignments, QStringList({"queue", "index"}));
    EXPECT_EQ(vm->selectedFileID(), library->file("g1").id());
    EXPECT_EQ(playerItems(), QStringList({"g1", "f2"}));
    expectStored();
}

TEST_F(QueueOperations, PlayNowOfANonAudioFileDoesNothing) {
    playing({"f1", "f2"}, 0);
    writeFile(library->path("F/notes.txt"), "x");
    run([&] { vm->playNow(MediaItem::audioFile(library->path("F/notes.txt"))); });
    EXPECT_TRUE(assignments.isEmpty());
    EXPECT_EQ(queue(), QStringList({"f1", "f2"}));
}

TEST_F(QueueOperations, AddToQueueSeedsFromTheLoadedFileOnward) {
    vm->setSelectedFolder(library->folder("F"));
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    capturedLines([&] { vm->nextTrack(); });
    ASSERT_EQ(vm->currentQueueIndex(), 1);
    ASSERT_EQ(playerItems(), QStringList({"f2", "f3"}));

    run([&] { vm->addToQueue(library->file("h1")); });
    EXPECT_EQ(queue(), QStringList({"f2", "f3", "h1"}));
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(assignments, QStringList({"queue", "index", "queue"}));
    EXPECT_EQ(playerItems(), QStringList({"f2", "f3"}));
    expectStored();
}

TEST_F(QueueOperations, AddToQueueSeedsWithTheLoadedFileAloneWhenItIsElsewhere) {
    vm->setSelectedFolder(library->folder("F"));
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    vm->setSelectedFolder(library->folder("G"));
    run([&] { vm->addToQueue(library->folder("X")); });
    EXPECT_EQ(queue(), QStringList({"f1", "x1", "x2"}));
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(playerItems(), QStringList({"f1", "x1"}));
}

TEST_F(QueueOperations, AddToQueueWithNothingLoadedKeepsTheIndex) {
    vm->setSelectedFolder(library->folder("G"));
    vm->setCurrentQueueIndex(2);
    writeFile(library->path("G/cover.jpg"), "x");
    run([&] { vm->addToQueue(MediaItem::audioFile(library->path("G/cover.jpg"))); });
    EXPECT_EQ(queue(), QStringList({"g1", "g2", "g3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(assignments, QStringList{"queue"}) << "a non-audio file is not appended";
    EXPECT_EQ(vm->player(), nullptr);
}

TEST_F(QueueOperations, ClearLeavesTheCurrentEntryPlayingAlone) {
    playing({"f1", "f2", "f3"}, 2);
    fake()->play();
    run([&] { vm->clearQueue(); });
    EXPECT_EQ(queue(), QStringList{"f3"});
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(assignments, QStringList({"queue", "index"}));
    EXPECT_EQ(playerItems(), QStringList{"f3"});
    EXPECT_EQ(fake()->timeControlStatus(), QueuePlayer::TimeControlStatus::Playing);
    expectStored();
}

TEST_F(QueueOperations, ClearRemovesThePlayersNextItem) {
    playing({"f1", "f2", "f3"}, 0);
    run([&] { vm->clearQueue(); });
    EXPECT_EQ(queue(), QStringList{"f1"});
    EXPECT_EQ(playerItems(), QStringList{"f1"});
}

TEST_F(QueueOperations, ClearWithAnIndexOutsideTheQueueEmptiesIt) {
    startWithQueue({"f1", "f2"}, 5);
    run([&] { vm->clearQueue(); });
    EXPECT_TRUE(queue().isEmpty());
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    expectStored();
}

TEST_F(QueueOperations, PreviousAfterTwoSecondsRestartsTheTrack) {
    playing({"f1", "f2", "f3"}, 1);
    fake()->reachTime(2.5);
    FakeQueuePlayer* player = fake();
    run([&] { vm->previousTrack(); });
    EXPECT_EQ(fake(), player);
    EXPECT_EQ(player->seeks, QList<double>{0.0});
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_TRUE(assignments.isEmpty());
}

TEST_F(QueueOperations, PreviousEarlyInTheFirstEntryDoesNothing) {
    playing({"f1", "f2", "f3"}, 0);
    fake()->reachTime(1.5);
    FakeQueuePlayer* player = fake();
    run([&] { vm->previousTrack(); });
    EXPECT_EQ(fake(), player);
    EXPECT_TRUE(player->seeks.isEmpty());
    EXPECT_TRUE(assignments.isEmpty());
}

TEST_F(QueueOperations, PreviousEarlyInATrackGoesBack) {
    playing({"f1", "f2", "f3"}, 2);
    fake()->reachTime(1.5);
    run([&] { vm->previousTrack(); });
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(vm->selectedFileID(), library->file("f2").id());
    EXPECT_EQ(playerItems(), QStringList({"f2", "f3"}));
}

TEST_F(QueueOperations, NextMovesOnAndStopsAtTheEnd) {
    playing({"f1", "f2", "f3"}, 1);
    run([&] { vm->nextTrack(); });
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(playerItems(), QStringList{"f3"});
    FakeQueuePlayer* player = fake();
    run([&] { vm->nextTrack(); });
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(fake(), player) << "no new load at the end";
    EXPECT_TRUE(assignments.isEmpty());
}

TEST_F(QueueOperations, NavigationWithNothingLoadedDoesNothing) {
    startWithQueue({"f1", "f2", "f3"}, 1);
    run([&] {
        vm->nextTrack();
        vm->previousTrack();
    });
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(vm->player(), nullptr);
}

TEST_F(QueueOperations, DuplicateEntriesPlayInTurn) {
    playing({"f1", "f2"}, 0);
    run([&] { vm->playNext(library->file("f1")); });
    EXPECT_EQ(queue(), QStringList({"f1", "f1", "f2"}));
    EXPECT_EQ(playerItems(), QStringList({"f1", "f1"}));
    run([&] { fake()->advance(); });
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(playerItems(), QStringList({"f1", "f2"}));
    run([&] { vm->nextTrack(); });
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    run([&] { vm->previousTrack(); });
    EXPECT_EQ(vm->currentQueueIndex(), 1);
    EXPECT_EQ(playerItems(), QStringList({"f1", "f2"})) << "the second f1 continues with f2";
}

TEST_F(QueueOperations, RefreshLeavesAMatchingSecondItemAlone) {
    playing({"f1", "f2", "f3"}, 0);
    PlayerItem* second = fake()->items()[1];
    vm->refreshNextPlayerItem();
    EXPECT_EQ(fake()->items()[1], second);
}

TEST_F(QueueOperations, RefreshWithNoNextEntryRemovesTheSecondItem) {
    playing({"f1", "f2"}, 0);
    vm->setPlaybackQueue(library->files({"f1"}));
    vm->refreshNextPlayerItem();
    EXPECT_EQ(playerItems(), QStringList{"f1"});
}

TEST_F(QueueOperations, RefreshIntoAPlayerThatRefusesItemsLeavesNoSecondItem) {
    playing({"f1", "f2"}, 0);
    fake()->acceptsItems = false;
    run([&] { vm->playNext(library->file("g1")); });
    EXPECT_EQ(playerItems(), QStringList{"f1"});
}

// A stored queue may come back with an index that no longer fits it.
TEST_F(QueueOperations, OutOfRangeIndexIsClampedBeforeAnInsertion) {
    playing({"f1", "f2", "f3"}, 2);
    vm->setCurrentQueueIndex(7);
    run([&] { vm->playNext(library->file("g1")); });
    EXPECT_EQ(queue(), QStringList({"f1", "f2", "f3", "g1"}));
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_EQ(assignments, QStringList({"index", "queue"}));
    EXPECT_EQ(playerItems(), QStringList({"f3", "g1"}));
    expectStored();

    vm->setCurrentQueueIndex(-3);
    run([&] { vm->playItem(library->file("h1"), 0, true); });
    EXPECT_EQ(queue(), QStringList({"f1", "h1", "f2", "f3", "g1"}));
    EXPECT_EQ(vm->currentQueueIndex(), 1);

    vm->setCurrentQueueIndex(40);
    run([&] { vm->playNow(library->file("x1")); });
    EXPECT_EQ(queue(), QStringList({"f1", "h1", "f2", "f3", "x1", "g1"}));
    EXPECT_EQ(vm->currentQueueIndex(), 4);
}

TEST_F(QueueOperations, OutOfRangeIndexIsClampedBeforeASplit) {
    playing({"f3", "f1", "g1", "h1"}, 0);
    vm->setCurrentQueueIndex(9);
    run([&] { vm->insertItems({library->file("x1").id()}, 0); });
    EXPECT_EQ(queue(), QStringList({"f3", "f1", "g1", "h1", "x1"}));
    EXPECT_EQ(vm->currentQueueIndex(), 3);

    vm->setCurrentQueueIndex(-1);
    run([&] { vm->moveFolderGroups({1}, 0); });
    EXPECT_EQ(queue().size(), 5) << "no entry lost or duplicated";
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    expectStored();
}

TEST_F(QueueOperations, ByIdFormsLookTheItemUpAndSkipUnknownIds) {
    playing({"f1", "f2"}, 0);
    run([&] {
        EXPECT_FALSE(vm->playNextByID("file:///nowhere/a.mp3"));
        EXPECT_FALSE(vm->addToQueueByID("file:///nowhere/a.mp3"));
        EXPECT_FALSE(vm->playItemByID("file:///nowhere/a.mp3"));
        EXPECT_FALSE(vm->playNowByID("file:///nowhere/a.mp3"));
        EXPECT_FALSE(vm->playFolderByID("file:///nowhere"));
    });
    EXPECT_TRUE(assignments.isEmpty());
    run([&] { EXPECT_TRUE(vm->addToQueueByID(library->folder("H").id())); });
    EXPECT_EQ(queue(), QStringList({"f1", "f2", "h1", "h2"}));
    run([&] { EXPECT_TRUE(vm->playItemByID(library->file("x2").id())); });
    EXPECT_EQ(queue(), QStringList({"f1", "x2", "f2", "h1", "h2"}));
    EXPECT_EQ(vm->selectedFileID(), library->file("x2").id());
}

} // namespace
