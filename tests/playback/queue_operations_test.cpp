// Queue editing and navigation on the fake player, and the upcoming queue as
// folder groups moved and inserted into by group.
#include "playback/queueentries.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

using namespace vmtest;

namespace {

QStringList words(const QString& text) {
    return text.split(' ', Qt::SkipEmptyParts);
}

// A row: columns separated by "|", the first the case's name.
class Row : public PlaybackFixture, public ::testing::WithParamInterface<const char*> {
protected:
    QString column(int i) const { return QString(GetParam()).section('|', i, i).trimmed(); }
};
std::string rowName(const ::testing::TestParamInfo<const char*>& info) {
    return QString(info.param).section('|', 0, 0).trimmed().toStdString();
}

// name | setup | edit (steps of PlaybackFixture::run) | queue | index | the
// assignments of queue and index in the order they are stored | the player's
// items | new players | seeks
class QueueOperations : public Row {};
class FolderGroups : public Row {};
class QueueById : public PlaybackFixture {};

TEST_P(QueueOperations, LeaveTheQueueIndexAndPlayerAsExpected) {
    makeViewModel();
    run(column(1));
    QStringList assignments;
    QObject::connect(vm.get(), &MediaLibraryViewModel::playbackQueueChanged,
                     [&] { assignments.append("queue"); });
    QObject::connect(vm.get(), &MediaLibraryViewModel::currentQueueIndexChanged,
                     [&] { assignments.append("index"); });
    const int players = playersMade;
    run(column(2));
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), words(column(3)));
    EXPECT_EQ(vm->currentQueueIndex(), column(4).toInt());
    EXPECT_EQ(assignments, words(column(5)));
    EXPECT_EQ(playerItems(), words(column(6)));
    EXPECT_EQ(playersMade - players, column(7).toInt());
    QStringList seeks;
    for (double seconds : fake() ? fake()->seeks : QList<double>())
        seeks << QString::number(seconds);
    EXPECT_EQ(seeks, words(column(8)));
    if (fake() && !fake()->items().isEmpty())
        EXPECT_EQ(vm->selectedFile()->url(), fake()->items()[0]->url());
    if (!assignments.isEmpty())
        expectQueueStored();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueOperations,
    ::testing::Values(
        // The player's second item is the play-list entry after the loaded one.
        "LoadWithAnEmptyQueue | select G | load g2 | | 0 | | g2 g3 | 1",
        "LoadATwiceQueuedFile | queue f1 f2 f1 f3 2 | load f1 | f1 f2 f1 f3 | 2 | | f1 f3 | 1",
        "FolderAfterTheCurrentEntry | queue f1 f2 0; load f1 | playFolder H | f1 h1 h2 f2 | 1 |"
        " queue index | h1 h2 | 1",
        "FolderWithoutAudio | queue f1 f2 0; load f1 | playFolder Empty/ | f1 f2 | 0 | | f1 f2 | 0",
        "PlayItemAfterTheCurrentEntry | queue f1 f2 f3 0; load f1 | playItem g1 | f1 g1 f2 f3 | 1 |"
        " queue index | g1 f2 | 1",
        "PlayNextFolder | queue f1 f2 f3 1; load f2 | playNext X | f1 f2 x1 x2 f3 | 1 | queue |"
        " f2 x1 | 0",
        "PlayNextWithNothingLoadedPlays | | playNext G | g1 | 0 | queue index | g1 | 1",
        "PlayNextSeedsFromTheFolder | select F; load f1 | playNext h2 | f1 h2 f2 f3 | 0 |"
        " queue queue | f1 h2 | 0",
        "PlayNowBeforeTheCurrentEntry | queue f1 f2 f3 1; load f2 | playNow g1 | f1 g1 f2 f3 | 1 |"
        " queue index | g1 f2 | 1",
        "AddToQueueSeedsFromTheLoadedFileOn | select F; load f1 | next; addToQueue h1 | f2 f3 h1 |"
        " 0 | index queue index queue | f2 f3 | 1",
        "AddToQueueSeedsWithALoadedFileElsewhere | select F; load f1 | select G; addToQueue X |"
        " f1 x1 x2 | 0 | queue index queue | f1 x1 | 0",
        "AddToQueueSkipsNonAudio | | select G; index 2; addToQueue cover.jpg | g1 g2 g3 | 2 |"
        " index queue | | 0",
        "ClearKeepsTheCurrentEntry | queue f1 f2 f3 2; load f3 | clear | f3 | 0 | queue index |"
        " f3 | 0",
        "ClearRemovesThePlayersNextItem | queue f1 f2 f3 0; load f1 | clear | f1 | 0 |"
        " queue index | f1 | 0",
        "PreviousAfterTwoSecondsRestarts | queue f1 f2 f3 1; load f2; time 25 | previous |"
        " f1 f2 f3 | 1 | | f2 f3 | 0 | 0",
        "PreviousEarlyGoesBack | queue f1 f2 f3 2; load f3; time 15 | previous | f1 f2 f3 | 1 |"
        " index | f2 f3 | 1",
        "NextMovesOn | queue f1 f2 f3 1; load f2 | next | f1 f2 f3 | 2 | index | f3 | 1",
        "ADuplicateContinuesAfterItsOwnPosition | queue f1 f1 f2 2; load f2 | previous | f1 f1 f2 |"
        " 1 | index | f1 f2 | 1",
        "RefreshWithNoNextEntry | queue f1 f2 0; load f1 | queue f1 0; refresh | f1 | 0 |"
        " queue index | f1 | 0",
        "RefreshIntoAPlayerThatRefusesItems | queue f1 f2 0; load f1 | refuse; playNext g1 |"
        " f1 g1 f2 | 0 | queue | f1 | 0",
        // A stored queue may come back with an index that no longer fits it.
        "IndexPastTheEndClampedBeforePlayNext | queue f1 f2 f3 2; load f3 | index 7; playNext g1 |"
        " f1 f2 f3 g1 | 2 | index index queue | f3 g1 | 0",
        "NegativeIndexClampedBeforePlayItem | queue f1 f2 f3 2; load f3 | index -3; playItem h1 |"
        " f1 h1 f2 f3 | 1 | index index queue index | h1 f2 | 1",
        "NegativeIndexClampedBeforeAGroupMove | queue f3 f1 g1 h1 0; load f3 | index -1; move 1 0 |"
        " f3 f1 h1 g1 | 0 | index index queue | f3 f1 | 0"),
    rowName);

// name | steps | groups | the upcoming entries | the player's items

TEST_P(FolderGroups, FollowTheQueueAndItsEdits) {
    makeViewModel();
    run(column(1));
    EXPECT_EQ(names(vm->upcomingFolderGroups()), words(column(2)));
    EXPECT_EQ(vm->property("upcomingFolderGroups").toList().size(), words(column(2)).size());
    const int index = vm->currentQueueIndex();
    EXPECT_EQ(names(index < vm->playbackQueue().size() ? vm->playbackQueue().sliced(index + 1)
                                                       : QList<MediaItem>()),
              words(column(3)));
    EXPECT_EQ(playerItems(), words(column(4)));
    expectQueueStored();
}

// The current file f3 in folder F, then the upcoming entries F1 F2 G1 G2 H1 G3.
#define EXAMPLE "queue f3 f1 f2 g1 g2 h1 g3 0; load f3"

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderGroups,
    ::testing::Values(
        "OnePerFolderAfterTheCurrentFolder |" EXAMPLE "| g1 h1 | f1 f2 g1 g2 h1 g3 | f3 f1",
        "NothingLoadedNoEdits | queue f1 g1 h1 0; move 0 1; insert x1 0 | | g1 h1 |",
        "TheCurrentFolderAfterAnotherStartsAGroup | queue f1 g1 f2 g2 h1 0; load f1 | g1 f2 h1 |"
        " g1 f2 g2 h1 | f1 g1",
        "AnIndexOutsideTheQueueShowsItAll | queue g1 f1 h1 0; load f2; index 8 | g1 f1 h1 | | f2",
        "MovingHBeforeG |" EXAMPLE "; move 1 0 | h1 g1 | f1 f2 h1 g1 g2 g3 | f3 f1",
        "MovingToTheEndIgnoresUnknownOffsets |" EXAMPLE "; move 7 0 -2 2; move 5 0 | h1 g1 |"
        " f1 f2 h1 g1 g2 g3 | f3 f1",
        "MovingTheFollowingGroupUpdatesThePlayer | queue f1 g1 h1 h2 0; load f1; move 1 0 |"
        " h1 g1 | h1 h2 g1 | f1 h1",
        "InsertingBeforeAGroup |" EXAMPLE "; insert X h2 1 | g1 x1 h2 |"
        " f1 f2 g1 g2 x1 x2 h2 h1 g3 | f3 f1",
        "InsertingWithoutAGroupAppends |" EXAMPLE "; insert x2 2; insert x1 -1 | g1 h1 x2 |"
        " f1 f2 g1 g2 h1 g3 x2 x1 | f3 f1",
        "InsertingBeforeTheFirstGroupIsTheNextTrack | queue f1 g1 0; load f1; insert h2 0 |"
        " h2 g1 | h2 g1 | f1 h2"),
    rowName);

// The forms by id find the item or change nothing; ids of deleted files are skipped.
TEST_F(QueueById, FormsFindTheItemOrChangeNothing) {
    makeViewModel();
    run("queue f1 f2 0; load f1");
    const QString unknown = "file:///nowhere/a.mp3";
    EXPECT_FALSE(vm->playNextByID(unknown) || vm->addToQueueByID(unknown) ||
                 vm->playItemByID(unknown) || vm->playNowByID(unknown) ||
                 vm->playFolderByID("file:///nowhere"));
    EXPECT_TRUE(vm->addToQueueByID(library->folder("H").id()) &&
                vm->playItemByID(library->file("x2").id()));
    EXPECT_EQ(names(vm->playbackQueue()), words("f1 x2 f2 h1 h2"));
    EXPECT_EQ(playerItems(), words("x2 f2"));
    MediaItem root = library->root(); // after a rescan that no longer holds x2
    (*root.children)[3].children->removeLast();
    vm->setRootFolder(root);
    vm->insertItems({library->file("x2").id(), "not an id", library->file("x1").id()}, 0);
    EXPECT_EQ(names(vm->playbackQueue()), words("f1 x2 x1 f2 h1 h2"));
    EXPECT_EQ(entryFolder(library->folder("G")), entryFolder(library->file("g2")));
    EXPECT_NE(entryFolder(library->file("f1")), entryFolder(library->file("g1")));
}

} // namespace
