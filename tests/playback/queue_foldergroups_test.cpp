// The upcoming queue as folder groups, and moving and inserting by group.
#include "playback/queueentries.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

class FolderGroups : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel();
    }
    // The current file f3 in folder F, then the upcoming entries [F1, F2, G1, G2, H1, G3].
    void playExample() {
        startWithQueue({"f3", "f1", "f2", "g1", "g2", "h1", "g3"}, 0);
        capturedLines([&] { vm->loadFile(library->file("f3"), false); });
    }
    QStringList upcoming() const {
        return names(vm->playbackQueue().sliced(vm->currentQueueIndex() + 1));
    }
    QStringList groups() const { return names(vm->upcomingFolderGroups()); }
    void edit(const std::function<void()>& operation) {
        capturedLines(operation);
        const auto stored = storedQueue();
        ASSERT_TRUE(stored);
        EXPECT_EQ(names(stored->queue), names(vm->playbackQueue()));
    }
};

TEST_F(FolderGroups, OneEntryPerFolderAfterTheCurrentFolder) {
    playExample();
    EXPECT_EQ(groups(), QStringList({"g1", "h1"}));
}

TEST_F(FolderGroups, NothingLoadedMeansNoGroups) {
    startWithQueue({"f1", "g1", "h1"}, 0);
    EXPECT_TRUE(vm->upcomingFolderGroups().isEmpty());
}

TEST_F(FolderGroups, CurrentFolderAfterAnotherFolderStartsAGroup) {
    startWithQueue({"f1", "g1", "f2", "g2", "h1"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    EXPECT_EQ(groups(), QStringList({"g1", "f2", "h1"}));
}

TEST_F(FolderGroups, IndexOutsideTheQueueShowsTheWholeQueue) {
    startWithQueue({"g1", "f1", "h1"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f2"), false); });
    vm->setCurrentQueueIndex(8);
    EXPECT_EQ(groups(), QStringList({"g1", "f1", "h1"}));
}

TEST_F(FolderGroups, FolderEntryAndItsFilesShareAGroup) {
    EXPECT_EQ(entryFolder(library->folder("G")), entryFolder(library->file("g2")));
    EXPECT_NE(entryFolder(library->file("f1")), entryFolder(library->file("g1")));
}

TEST_F(FolderGroups, PropertyFollowsTheQueueForViews) {
    playExample();
    QSignalSpy spy(vm.get(), &MediaLibraryViewModel::upcomingFolderGroupsChanged);
    capturedLines([&] { vm->addToQueue(library->file("x1")); });
    EXPECT_GE(spy.count(), 1);
    const QVariantList list = vm->property("upcomingFolderGroups").toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[2].value<MediaItem>().id(), library->file("x1").id());
}

TEST_F(FolderGroups, MovingHBeforeG) {
    playExample();
    edit([&] { vm->moveFolderGroups({1}, 0); });
    EXPECT_EQ(upcoming(), QStringList({"f1", "f2", "h1", "g1", "g2", "g3"}));
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(names(fake()->items()), QStringList({"f3", "f1"}));
}

TEST_F(FolderGroups, MovingToTheEndAndIgnoringUnknownOffsets) {
    playExample();
    edit([&] { vm->moveFolderGroups({7, 0, -2}, 2); });
    EXPECT_EQ(upcoming(), QStringList({"f1", "f2", "h1", "g1", "g2", "g3"}));
    edit([&] { vm->moveFolderGroups({5}, 0); });
    EXPECT_EQ(upcoming(), QStringList({"f1", "f2", "h1", "g1", "g2", "g3"}));
}

TEST_F(FolderGroups, MovingTheGroupThatFollowsNowUpdatesThePlayer) {
    startWithQueue({"f1", "g1", "h1", "h2"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    EXPECT_EQ(names(fake()->items()), QStringList({"f1", "g1"}));
    edit([&] { vm->moveFolderGroups({1}, 0); });
    EXPECT_EQ(upcoming(), QStringList({"h1", "h2", "g1"}));
    EXPECT_EQ(names(fake()->items()), QStringList({"f1", "h1"}));
}

TEST_F(FolderGroups, MoveWithNothingLoadedChangesNothing) {
    startWithQueue({"f1", "g1", "h1"}, 0);
    QSignalSpy spy(vm.get(), &MediaLibraryViewModel::playbackQueueChanged);
    vm->moveFolderGroups({0}, 1);
    vm->insertItems({library->file("x1").id()}, 0);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(FolderGroups, InsertingBeforeAGroup) {
    playExample();
    edit([&] { vm->insertItems({library->folder("X").id(), library->file("h2").id()}, 1); });
    EXPECT_EQ(upcoming(), QStringList({"f1", "f2", "g1", "g2", "x1", "x2", "h2", "h1", "g3"}));
    EXPECT_EQ(names(fake()->items()), QStringList({"f3", "f1"}));
}

TEST_F(FolderGroups, InsertingWithoutAGroupAppends) {
    playExample();
    edit([&] { vm->insertItems({library->file("x2").id()}, 2); });
    EXPECT_EQ(upcoming().last(), "x2");
    edit([&] { vm->insertItems({library->file("x1").id()}, -1); });
    EXPECT_EQ(upcoming().last(), "x1");
}

TEST_F(FolderGroups, InsertingBeforeTheFirstGroupBecomesTheNextTrack) {
    startWithQueue({"f1", "g1"}, 0);
    capturedLines([&] { vm->loadFile(library->file("f1"), false); });
    edit([&] { vm->insertItems({library->file("h2").id()}, 0); });
    EXPECT_EQ(upcoming(), QStringList({"h2", "g1"}));
    EXPECT_EQ(names(fake()->items()), QStringList({"f1", "h2"}));
}

TEST_F(FolderGroups, IdsOfDeletedFilesAreSkipped) {
    playExample();
    const QString gone = library->file("x2").id();
    // The library after a rescan that no longer holds x2.
    MediaItem root = library->root();
    for (MediaItem& folder : *root.children) {
        if (folder.name() == "X")
            folder.children->removeLast();
    }
    vm->setRootFolder(root);
    edit([&] { vm->insertItems({gone, "not an id", library->file("x1").id()}, 0); });
    EXPECT_EQ(upcoming(), QStringList({"f1", "f2", "x1", "g1", "g2", "h1", "g3"}));
}

} // namespace
