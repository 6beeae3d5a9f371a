// The queue strip's drag state and where drops land; its tile list follows
// the queue by row moves.
#include "ui/queuedragcontroller.h"
#include "ui/queuestripmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

const QStringList strip{"G", "H", "K"}; // ids of the tiles, first at the right

struct QueueDrag : ::testing::Test {
    QueueStripModel model;
    QueueDragController drag;
    QSignalSpy inserts{&drag, &QueueDragController::insertRequested};
    QSignalSpy moves{&drag, &QueueDragController::moveRequested};
    QSignalSpy appends{&drag, &QueueDragController::appendRequested};
    QSignalSpy states{&drag, &QueueDragController::stateChanged};

    QueueDrag() {
        model.setEntries({MediaItem::fromId("G", false), MediaItem::fromId("H", false),
                          MediaItem::fromId("K", false)});
        drag.setStrip(&model);
    }
    // Every performed drop ends in idle after its delay.
    bool waitForIdle() {
        while (drag.state() != QueueDragController::Idle) {
            if (!states.wait(2000))
                return false;
        }
        return true;
    }
};

} // namespace

TEST_F(QueueDrag, GapFollowsThePointerWithHysteresis) {
    const struct {
        const char* tile;
        double x;
        const char* gapTile;
        bool isLeft;
    } steps[] = {
        {"H", 20, "H", true},  // left half of a new tile: left
        {"H", 30, "H", true},  // past the middle, not past 33: stays
        {"H", 34, "H", false}, // crossing 33: right
        {"H", 12, "H", false}, // between 11 and 33: stays
        {"H", 10, "H", true},  // below 11: left again
        {"G", 30, "G", false}, // another tile decides by its halves
        {"K", 21.9, "K", true},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(drag.hoverTile(step.tile, step.x), int(Qt::CopyAction));
        EXPECT_EQ(drag.gapId(), QString::fromLatin1(step.gapTile)) << step.tile << " " << step.x;
        EXPECT_EQ(drag.gapIsLeft(), step.isLeft) << step.tile << " " << step.x;
        EXPECT_EQ(drag.state(), QueueDragController::ExternalHover);
    }
}

TEST_F(QueueDrag, TargetOffsetIsAfterTheGapsGroupOnTheLeftAndBeforeItOnTheRight) {
    EXPECT_EQ(drag.targetOffset(strip), -1);
    drag.hoverTile("H", 5);
    EXPECT_EQ(drag.targetOffset(strip), 2);
    drag.hoverTile("H", 40);
    EXPECT_EQ(drag.targetOffset(strip), 1);
    EXPECT_EQ(drag.targetOffset({"G", "K"}), -1); // its tile is gone
}

TEST_F(QueueDrag, OutsideDropOnATileInsertsAtTheGap) {
    drag.hoverTile("G", 3);
    EXPECT_TRUE(drag.dropOnTile("G", strip, "file:///m/x.mp3"));
    ASSERT_TRUE(inserts.wait(2000));
    EXPECT_EQ(inserts[0][0].toStringList(), QStringList{"file:///m/x.mp3"});
    EXPECT_EQ(inserts[0][1].toInt(), 1);
    EXPECT_EQ(drag.state(), QueueDragController::Idle);
}

TEST_F(QueueDrag, OutsideDropWithoutGapOrTextIsRefused) {
    EXPECT_FALSE(drag.dropOnTile("G", strip, "file:///m/x.mp3"));
    drag.hoverTile("G", 3);
    EXPECT_FALSE(drag.dropOnTile("G", strip, ""));
    EXPECT_FALSE(drag.dropOnBackground(""));
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(inserts.count() + appends.count() + moves.count(), 0);
}

TEST_F(QueueDrag, OutsideDropOnTheBackgroundAppendsOrFillsTheOpenGap) {
    EXPECT_TRUE(drag.dropOnBackground("file:///m/a.mp3"));
    ASSERT_TRUE(appends.wait(2000));
    EXPECT_EQ(appends[0][0].toString(), "file:///m/a.mp3");
    EXPECT_EQ(inserts.count(), 0);

    drag.hoverTile("K", 40); // right of K: before it
    EXPECT_TRUE(drag.dropOnBackground("file:///m/b.mp3"));
    ASSERT_TRUE(inserts.wait(2000));
    EXPECT_EQ(inserts[0][1].toInt(), 2);
    EXPECT_EQ(appends.count(), 1);
    EXPECT_TRUE(waitForIdle());
}

TEST_F(QueueDrag, DraggingATileOntoItselfChangesNothing) {
    drag.startDrag("H");
    EXPECT_EQ(drag.state(), QueueDragController::InternalDrag);
    EXPECT_EQ(drag.gapId(), "H");
    EXPECT_TRUE(drag.gapIsLeft());
    EXPECT_EQ(drag.hoverTile("H", 40), int(Qt::MoveAction));
    EXPECT_TRUE(drag.gapIsLeft()); // its own tile moves no gap
    EXPECT_TRUE(drag.dropOnTile("H", strip, "H"));
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(moves.count(), 0);
}

TEST_F(QueueDrag, TileDropsMoveWholeGroups) {
    // The first tile to the left of the third: after it.
    drag.startDrag("G");
    drag.hoverTile("K", 4);
    EXPECT_TRUE(drag.dropOnTile("K", strip, "G"));
    ASSERT_TRUE(moves.wait(2000));
    EXPECT_EQ(moves[0][0].value<QList<int>>(), QList<int>{0});
    EXPECT_EQ(moves[0][1].toInt(), 3);
    ASSERT_TRUE(waitForIdle());

    // The last tile on the background with no gap elsewhere: to the end.
    drag.startDrag("K");
    EXPECT_TRUE(drag.dropOnBackground("K"));
    ASSERT_TRUE(moves.wait(2000));
    EXPECT_EQ(moves[1][0].value<QList<int>>(), QList<int>{2});
    EXPECT_EQ(moves[1][1].toInt(), 3);
    EXPECT_TRUE(waitForIdle());
}

TEST_F(QueueDrag, CancelledTileDragReturnsToIdle) {
    drag.startDrag("G");
    drag.dragCancelled();
    EXPECT_EQ(drag.state(), QueueDragController::InternalDrag);
    EXPECT_TRUE(waitForIdle());
}

TEST(QueueStripModel, FollowsTheGroupsByRowChanges) {
    QueueStripModel model;
    QAbstractItemModelTester tester(&model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    auto entries = [](const QStringList& ids) {
        QList<MediaItem> items;
        for (const QString& id : ids)
            items.append(MediaItem::fromId("file:///m/" + id + "/t.mp3", false));
        return items;
    };
    auto shown = [&] {
        QStringList folders;
        for (int row = 0; row < model.rowCount(); ++row)
            folders.append(model.index(row).data(QueueStripModel::FolderIdRole).toString().mid(10));
        return folders;
    };
    const QList<QStringList> steps{
        {"A", "B", "C"}, {"C", "A", "B"}, {"B", "D", "C"}, {}, {"E"}, {"E", "A", "B", "C"},
    };
    for (const QStringList& step : steps) {
        model.setEntries(entries(step));
        EXPECT_EQ(shown(), step);
    }
    EXPECT_EQ(model.index(0).data(QueueStripModel::NameRole).toString(), "t.mp3");
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GT(moved.count(), 0);
}
