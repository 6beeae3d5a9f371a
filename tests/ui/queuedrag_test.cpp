// The queue strip's drag state and where drops land.
#include "support/testsupport.h"
#include "ui/queuedragcontroller.h"

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
        QObject::connect(&drag, &QueueDragController::insertRequested, [this](auto ids, int at) {
            edits << QString("insert %1 at %2").arg(ids.join(',')).arg(at);
        });
        QObject::connect(&drag, &QueueDragController::moveRequested, [this](auto offsets, int to) {
            edits << QString("move %1 to %2").arg(offsets.value(0)).arg(to);
        });
        QObject::connect(&drag, &QueueDragController::appendRequested,
                         [this](const QString& id) { edits << "append " + id; });
    }
};

} // namespace

TEST(QueueDrag, GapFollowsThePointerWithHysteresis) {
    Strip s;
    const std::tuple<const char*, double, bool> steps[] = {
        {"H", 20, true},  {"H", 30, true},  // past the middle, not past 33: stays left
        {"H", 34, false}, {"H", 12, false}, // not below 11: stays right
        {"G", 30, false},                   // another tile decides by its halves
    };
    for (const auto& [tile, x, isLeft] : steps) {
        EXPECT_EQ(s.drag.hoverTile(tile, x), int(Qt::CopyAction));
        EXPECT_EQ(s.drag.gapId(), tile) << x;
        EXPECT_EQ(s.drag.gapIsLeft(), isLeft) << x;
        EXPECT_EQ(s.drag.state(), QueueDragController::ExternalHover);
    }
    // A drop lands after the gap's group on the left and before it on the right.
    EXPECT_EQ(Strip().drag.targetOffset(strip), -1);
    EXPECT_EQ(s.drag.targetOffset(strip), 0);
    s.drag.hoverTile("H", 5);
    EXPECT_EQ(s.drag.targetOffset(strip), 2);
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
        const QString dragged = row.dragged, target = row.target;
        if (!dragged.isEmpty())
            s.drag.startDrag(dragged);
        if (*row.hovered)
            EXPECT_EQ(s.drag.hoverTile(row.hovered, row.x),
                      dragged.isEmpty() ? Qt::CopyAction : Qt::MoveAction);
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
