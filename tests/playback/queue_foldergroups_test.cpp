// The upcoming queue as folder groups, and moving and inserting by group.
#include "playback/queueentries.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

using namespace vmtest;

namespace {

struct GroupCase {
    const char* name;
    const char* steps; // of PlaybackFixture::run
    const char* groups;
    const char* upcoming;
    const char* items;
};

QStringList words(const char* text) {
    return QString(text).split(' ', Qt::SkipEmptyParts);
}

class FolderGroups : public PlaybackFixture, public ::testing::WithParamInterface<GroupCase> {};

TEST_P(FolderGroups, FollowTheQueueAndItsEdits) {
    const GroupCase& row = GetParam();
    makeViewModel();
    run(row.steps);
    EXPECT_EQ(names(vm->upcomingFolderGroups()), words(row.groups));
    EXPECT_EQ(vm->property("upcomingFolderGroups").toList().size(), words(row.groups).size());
    const int index = vm->currentQueueIndex();
    EXPECT_EQ(names(index < vm->playbackQueue().size() ? vm->playbackQueue().sliced(index + 1)
                                                       : QList<MediaItem>()),
              words(row.upcoming));
    EXPECT_EQ(playerItems(), words(row.items));
    expectQueueStored();
}

// The current file f3 in folder F, then the upcoming entries F1 F2 G1 G2 H1 G3.
#define EXAMPLE "queue f3 f1 f2 g1 g2 h1 g3 0; load f3"

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderGroups,
    ::testing::Values(
        GroupCase{"OnePerFolderAfterTheCurrentFolder", EXAMPLE, "g1 h1", "f1 f2 g1 g2 h1 g3",
                  "f3 f1"},
        GroupCase{"NothingLoadedNoGroups", "queue f1 g1 h1 0", "", "g1 h1", ""},
        GroupCase{"NothingLoadedNoEdits", "queue f1 g1 h1 0; move 0 1; insert x1 0", "", "g1 h1",
                  ""},
        GroupCase{"TheCurrentFolderAfterAnotherStartsAGroup", "queue f1 g1 f2 g2 h1 0; load f1",
                  "g1 f2 h1", "g1 f2 g2 h1", "f1 g1"},
        GroupCase{"AnIndexOutsideTheQueueShowsItAll", "queue g1 f1 h1 0; load f2; index 8",
                  "g1 f1 h1", "", "f2"},
        GroupCase{"MovingHBeforeG", EXAMPLE "; move 1 0", "h1 g1", "f1 f2 h1 g1 g2 g3", "f3 f1"},
        GroupCase{"MovingToTheEndIgnoresUnknownOffsets", EXAMPLE "; move 7 0 -2 2; move 5 0",
                  "h1 g1", "f1 f2 h1 g1 g2 g3", "f3 f1"},
        GroupCase{"MovingTheFollowingGroupUpdatesThePlayer",
                  "queue f1 g1 h1 h2 0; load f1; move 1 0", "h1 g1", "h1 h2 g1", "f1 h1"},
        GroupCase{"InsertingBeforeAGroup", EXAMPLE "; insert X h2 1", "g1 x1 h2",
                  "f1 f2 g1 g2 x1 x2 h2 h1 g3", "f3 f1"},
        GroupCase{"InsertingWithoutAGroupAppends", EXAMPLE "; insert x2 2; insert x1 -1",
                  "g1 h1 x2", "f1 f2 g1 g2 h1 g3 x2 x1", "f3 f1"},
        GroupCase{"InsertingBeforeTheFirstGroupIsTheNextTrack",
                  "queue f1 g1 0; load f1; insert h2 0", "h2 g1", "h2 g1", "f1 h2"}),
    [](const auto& info) { return std::string(info.param.name); });

class FolderGroupIds : public PlaybackFixture {};

TEST_F(FolderGroupIds, IdsOfDeletedFilesAreSkipped) {
    makeViewModel();
    run(EXAMPLE);
    const QString gone = library->file("x2").id();
    // The library after a rescan that no longer holds x2.
    MediaItem root = library->root();
    (*root.children)[3].children->removeLast();
    vm->setRootFolder(root);
    vm->insertItems({gone, "not an id", library->file("x1").id()}, 0);
    EXPECT_EQ(names(vm->playbackQueue()), words("f3 f1 f2 x1 g1 g2 h1 g3"));
    EXPECT_EQ(entryFolder(library->folder("G")), entryFolder(library->file("g2")));
    EXPECT_NE(entryFolder(library->file("f1")), entryFolder(library->file("g1")));
}

} // namespace
