// Queue editing and navigation on the fake player: the resulting queue and
// index, the order in which they are stored, and the player's items.
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

using namespace vmtest;

namespace {

struct QueueCase {
    const char* name;
    const char* setup; // steps of PlaybackFixture::run
    const char* edit;
    const char* queue;
    int index;
    const char* assignments; // of the queue and the index, in the order they are stored
    const char* items;       // the player's
    int loads;               // new players
    const char* seeks = "";
};

QStringList words(const char* text) {
    return QString(text).split(' ', Qt::SkipEmptyParts);
}

class QueueOperations : public PlaybackFixture, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(QueueOperations, LeaveTheQueueIndexAndPlayerAsExpected) {
    const QueueCase& row = GetParam();
    makeViewModel();
    run(row.setup);
    QStringList assignments;
    QObject::connect(vm.get(), &MediaLibraryViewModel::playbackQueueChanged,
                     [&] { assignments.append("queue"); });
    QObject::connect(vm.get(), &MediaLibraryViewModel::currentQueueIndexChanged,
                     [&] { assignments.append("index"); });
    const int players = playersMade;
    run(row.edit);
    settle();
    EXPECT_EQ(names(vm->playbackQueue()), words(row.queue));
    EXPECT_EQ(vm->currentQueueIndex(), row.index);
    EXPECT_EQ(assignments, words(row.assignments));
    EXPECT_EQ(playerItems(), words(row.items));
    EXPECT_EQ(playersMade - players, row.loads);
    QStringList seeks;
    for (double seconds : fake() ? fake()->seeks : QList<double>())
        seeks << QString::number(seconds);
    EXPECT_EQ(seeks, words(row.seeks));
    if (fake() && !fake()->items().isEmpty())
        EXPECT_EQ(vm->selectedFile()->url(), fake()->items()[0]->url());
    if (!assignments.isEmpty())
        expectQueueStored();
}

const char* const f123 = "f1 f2 f3";

INSTANTIATE_TEST_SUITE_P(
    Cases, QueueOperations,
    ::testing::Values(
        // The player's second item is the play-list entry after the loaded one.
        QueueCase{"LoadWithAnEmptyQueue", "select G", "load g2", "", 0, "", "g2 g3", 1},
        QueueCase{"LoadTheLastEntry", "queue f1 f2 f3 2", "load f3", f123, 2, "", "f3", 1},
        QueueCase{"LoadOutsideThePlayList", "queue f1 f2 0", "load g2", "f1 f2", 0, "", "g2", 1},
        QueueCase{"LoadATwiceQueuedFile", "queue f1 f2 f1 f3 2", "load f1", "f1 f2 f1 f3", 2, "",
                  "f1 f3", 1},
        QueueCase{"FolderIntoAnEmptyQueue", "", "playFolder F", f123, 0, "queue index", "f1 f2", 1},
        QueueCase{"FolderAfterTheCurrentEntry", "queue f1 f2 0; load f1", "playFolder H",
                  "f1 h1 h2 f2", 1, "queue index", "h1 h2", 1},
        QueueCase{"FolderWithoutAudio", "queue f1 f2 0; load f1", "playFolder Empty/", "f1 f2", 0,
                  "", "f1 f2", 0},
        QueueCase{"PlayItemAfterTheCurrentEntry", "queue f1 f2 f3 0; load f1", "playItem g1",
                  "f1 g1 f2 f3", 1, "queue index", "g1 f2", 1},
        QueueCase{"PlayItemJumps", "queue f1 f2 f3 0; load f1", "jump f3 2", f123, 2, "index", "f3",
                  1},
        QueueCase{"PlayNextFolder", "queue f1 f2 f3 1; load f2", "playNext X", "f1 f2 x1 x2 f3", 1,
                  "queue", "f2 x1", 0},
        QueueCase{"PlayNextWithNothingLoadedPlays", "", "playNext G", "g1", 0, "queue index", "g1",
                  1},
        QueueCase{"PlayNextSeedsFromTheFolder", "select F; load f1", "playNext h2", "f1 h2 f2 f3",
                  0, "queue queue", "f1 h2", 0},
        QueueCase{"PlayNowBeforeTheCurrentEntry", "queue f1 f2 f3 1; load f2", "playNow g1",
                  "f1 g1 f2 f3", 1, "queue index", "g1 f2", 1},
        QueueCase{"PlayNowOfANonAudioFile", "queue f1 f2 0; load f1", "playNow notes.txt", "f1 f2",
                  0, "", "f1 f2", 0},
        QueueCase{"AddToQueueSeedsFromTheLoadedFileOn", "select F; load f1", "next; addToQueue h1",
                  "f2 f3 h1", 0, "index queue index queue", "f2 f3", 1},
        QueueCase{"AddToQueueSeedsWithALoadedFileElsewhere", "select F; load f1",
                  "select G; addToQueue X", "f1 x1 x2", 0, "queue index queue", "f1 x1", 0},
        QueueCase{"AddToQueueSkipsNonAudio", "", "select G; index 2; addToQueue cover.jpg",
                  "g1 g2 g3", 2, "index queue", "", 0},
        QueueCase{"ClearKeepsTheCurrentEntry", "queue f1 f2 f3 2; load f3", "clear", "f3", 0,
                  "queue index", "f3", 0},
        QueueCase{"ClearRemovesThePlayersNextItem", "queue f1 f2 f3 0; load f1", "clear", "f1", 0,
                  "queue index", "f1", 0},
        QueueCase{"ClearWithAnIndexOutsideTheQueue", "queue f1 f2 5", "clear", "", 0, "queue index",
                  "", 0},
        QueueCase{"PreviousAfterTwoSecondsRestarts", "queue f1 f2 f3 1; load f2; time 25",
                  "previous", f123, 1, "", "f2 f3", 0, "0"},
        QueueCase{"PreviousEarlyInTheFirstEntry", "queue f1 f2 f3 0; load f1; time 15", "previous",
                  f123, 0, "", "f1 f2", 0},
        QueueCase{"PreviousEarlyGoesBack", "queue f1 f2 f3 2; load f3; time 15", "previous", f123,
                  1, "index", "f2 f3", 1},
        QueueCase{"NextMovesOn", "queue f1 f2 f3 1; load f2", "next", f123, 2, "index", "f3", 1},
        QueueCase{"NextStopsAtTheEnd", "queue f1 f2 f3 2; load f3", "next", f123, 2, "", "f3", 0},
        QueueCase{"NavigationWithNothingLoaded", "queue f1 f2 f3 1", "next; previous", f123, 1, "",
                  "", 0},
        QueueCase{"PlayNextOfTheCurrentFile", "queue f1 f2 0; load f1", "playNext f1", "f1 f1 f2",
                  0, "queue", "f1 f1", 0},
        QueueCase{"ADuplicateContinuesAfterItsOwnPosition", "queue f1 f1 f2 2; load f2", "previous",
                  "f1 f1 f2", 1, "index", "f1 f2", 1},
        QueueCase{"RefreshWithNoNextEntry", "queue f1 f2 0; load f1", "queue f1 0; refresh", "f1",
                  0, "queue index", "f1", 0},
        QueueCase{"RefreshIntoAPlayerThatRefusesItems", "queue f1 f2 0; load f1",
                  "refuse; playNext g1", "f1 g1 f2", 0, "queue", "f1", 0},
        // A stored queue may come back with an index that no longer fits it.
        QueueCase{"IndexPastTheEndClampedBeforePlayNext", "queue f1 f2 f3 2; load f3",
                  "index 7; playNext g1", "f1 f2 f3 g1", 2, "index index queue", "f3 g1", 0},
        QueueCase{"NegativeIndexClampedBeforePlayItem", "queue f1 f2 f3 2; load f3",
                  "index -3; playItem h1", "f1 h1 f2 f3", 1, "index index queue index", "h1 f2", 1},
        QueueCase{"IndexPastTheEndClampedBeforePlayNow", "queue f1 f2 f3 2; load f3",
                  "index 40; playNow x1", "f1 f2 x1 f3", 2, "index index queue index", "x1 f3", 1},
        QueueCase{"IndexPastTheEndClampedBeforeAnInsertion", "queue f3 f1 g1 h1 0; load f3",
                  "index 9; insert x1 0", "f3 f1 g1 h1 x1", 3, "index index queue", "f3 x1", 0},
        QueueCase{"NegativeIndexClampedBeforeAGroupMove", "queue f3 f1 g1 h1 0; load f3",
                  "index -1; move 1 0", "f3 f1 h1 g1", 0, "index index queue", "f3 f1", 0}),
    [](const auto& info) { return std::string(info.param.name); });

class QueueById : public PlaybackFixture {};

TEST_F(QueueById, FormsFindTheItemOrChangeNothing) {
    makeViewModel();
    run("queue f1 f2 0; load f1");
    const QString unknown = "file:///nowhere/a.mp3";
    EXPECT_FALSE(vm->playNextByID(unknown) || vm->addToQueueByID(unknown) ||
                 vm->playItemByID(unknown) || vm->playNowByID(unknown) ||
                 vm->playFolderByID("file:///nowhere"));
    EXPECT_EQ(names(vm->playbackQueue()), words("f1 f2"));
    EXPECT_TRUE(vm->addToQueueByID(library->folder("H").id()));
    EXPECT_TRUE(vm->playItemByID(library->file("x2").id()));
    EXPECT_EQ(names(vm->playbackQueue()), words("f1 x2 f2 h1 h2"));
    EXPECT_EQ(playerItems(), words("x2 f2"));
}

} // namespace
