// The queue strip's drag state and where drops land; its tile list follows
// the queue by row moves.
#include "support/testsupport.h"
#include "ui/queuedragcontroller.h"
#include "ui/queuestripmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QStringList strip{"G", "H", "K"}; // ids of the tiles, first at the right

// A strip of G, H and K whose controller writes each edit it asks for as a line.
struct Strip {
    QueueStripModel model;
    QueueDragController drag;
    QStringList edits;

    Strip() {
        model.setEntries({MediaItem::fromId("G", false), MediaItem::fromId("H", false),
                          MediaItem::fromId("K", false)});
        drag.setStrip(&model);
        QObject::connect(&drag, &QueueDragController::insertRequested,
                         [this](const QStringList& ids, int group) {
                             edits.append(QString("insert %1 at %2").arg(ids.join(',')).arg(group));
                         });
        QObject::connect(&drag, &QueueDragController::moveRequested,
                         [this](const QList<int>& offsets, int to) {
                             edits.append(QString("move %1 to %2").arg(offsets.value(0)).arg(to));
                         });
        QObject::connect(&drag, &QueueDragController::appendRequested,
                         [this](const QString& id) { edits.append("append " + id); });
    }
};

} // namespace

TEST(QueueDrag, GapFollowsThePointerWithHysteresis) {
    Strip s;
    const struct {
        const char* tile;
        double x;
        bool isLeft;
    } steps[] = {
        {"H", 20, true},  // left half of a new tile: left
        {"H", 30, true},  // past the middle, not past 33: stays
        {"H", 34, false}, // crossing 33: right
        {"H", 12, false}, // between 11 and 33: stays
        {"H", 10, true},  // below 11: left again
        {"G", 30, false}, // another tile decides by its halves
        {"K", 21.9, true},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(s.drag.hoverTile(step.tile, step.x), int(Qt::CopyAction));
        EXPECT_EQ(s.drag.gapId(), QString::fromLatin1(step.tile)) << step.tile << " " << step.x;
        EXPECT_EQ(s.drag.gapIsLeft(), step.isLeft) << step.tile << " " << step.x;
        EXPECT_EQ(s.drag.state(), QueueDragController::ExternalHover);
    }
    // A drop lands after the gap's group on the left and before it on the right.
    EXPECT_EQ(Strip().drag.targetOffset(strip), -1);
    EXPECT_EQ(s.drag.targetOffset(strip), 3);
    s.drag.hoverTile("H", 40);
    EXPECT_EQ(s.drag.targetOffset(strip), 1);
    EXPECT_EQ(s.drag.targetOffset({"G", "K"}), -1); // its tile is gone
}

TEST(QueueDrag, DropsAskForTheirEditAndEndInIdle) {
    const struct {
        const char* dragged; // a tile of the strip, or "" for an item from outside
        const char* hovered; // the tile last hovered, at x, or ""
        double x;
        const char* target; // the tile dropped on, "" for the background, "-" to cancel
        QString text;
        bool accepted;
        QStringList edits;
    } rows[] = {
        {"", "G", 3, "G", "file:///m/x.mp3", true, {"insert file:///m/x.mp3 at 1"}},
        {"", "", 0, "G", "file:///m/x.mp3", false, {}}, // no gap
        {"", "G", 3, "G", "", false, {}},               // no text
        {"", "", 0, "", "", false, {}},
        {"", "", 0, "", "file:///m/a.mp3", true, {"append file:///m/a.mp3"}},
        {"", "K", 40, "", "file:///m/b.mp3", true, {"insert file:///m/b.mp3 at 2"}},
        {"H", "H", 40, "H", "H", true, {}},             // onto itself: nothing
        {"G", "K", 4, "K", "G", true, {"move 0 to 3"}}, // left of the third: after it
        {"K", "", 0, "", "K", true, {"move 2 to 3"}},   // no gap: to the end
        {"G", "", 0, "-", "", true, {}},
    };
    std::vector<std::unique_ptr<Strip>> strips;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.dragged << row.hovered << row.target);
        auto& s = *strips.emplace_back(std::make_unique<Strip>());
        const QString dragged = QString::fromLatin1(row.dragged);
        if (!dragged.isEmpty()) {
            s.drag.startDrag(dragged);
            EXPECT_EQ(s.drag.state(), QueueDragController::InternalDrag);
            EXPECT_EQ(s.drag.gapId(), dragged);
        }
        if (*row.hovered) {
            const int action = dragged.isEmpty() ? Qt::CopyAction : Qt::MoveAction;
            EXPECT_EQ(s.drag.hoverTile(row.hovered, row.x), action);
        }
        const QString target = QString::fromLatin1(row.target);
        if (target == "-")
            s.drag.dragCancelled();
        else if (target.isEmpty())
            EXPECT_EQ(s.drag.dropOnBackground(row.text), row.accepted);
        else
            EXPECT_EQ(s.drag.dropOnTile(target, strip, row.text), row.accepted);
        if (dragged == "H")
            EXPECT_TRUE(s.drag.gapIsLeft()) << "its own tile moves no gap";
    }
    auto all = [&](auto holds) {
        return testsupport::waitUntil(
            [&] { return std::all_of(strips.begin(), strips.end(), holds); });
    };
    ASSERT_TRUE(all([](const auto& s) { return s->drag.state() == QueueDragController::Idle; }));
    // A last drop from outside on each strip: whatever a drop asked for came before it.
    for (auto& s : strips)
        s->drag.dropOnBackground("end");
    ASSERT_TRUE(all([](const auto& s) { return s->edits.endsWith("append end"); }));
    for (size_t i = 0; i < strips.size(); ++i)
        EXPECT_EQ(strips[i]->edits, rows[i].edits + QStringList{"append end"}) << "row " << i;
}

TEST(QueueStripModel, FollowsTheGroupsByRowChanges) {
    QueueStripModel model;
    QAbstractItemModelTester tester(&model);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy moved(&model, &QAbstractItemModel::rowsMoved);
    const QList<QStringList> steps{
        {"A", "B", "C"}, {"C", "A", "B"}, {"B", "D", "C"}, {}, {"E"}, {"E", "A", "B", "C"},
    };
    for (const QStringList& step : steps) {
        QList<MediaItem> items;
        for (const QString& id : step)
            items.append(MediaItem::fromId("file:///m/" + id + "/t.mp3", false));
        model.setEntries(items);
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row)
            shown.append(model.index(row).data(QueueStripModel::FolderIdRole).toString().mid(10));
        EXPECT_EQ(shown, step);
    }
    EXPECT_EQ(model.index(0).data(QueueStripModel::NameRole).toString(), "t.mp3");
    EXPECT_EQ(resets.count(), 0);
    EXPECT_GT(moved.count(), 0);
}
