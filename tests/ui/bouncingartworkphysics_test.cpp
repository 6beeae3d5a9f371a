#include "ui/bouncingartworkphysics.h"

#include <QSettings>
#include <QtMath>
#include <deque>
#include <gtest/gtest.h>

namespace {

// A 1920 x 1080 area with a square artwork box of 1080: bx = 690, by = 270.
// Kicks are drawn from `angles`, whose last one repeats.
struct Drift : ::testing::Test {
    BouncingArtworkPhysics physics;
    std::deque<double> angles{0.0};
    int draws = 0;
    double clock = 100.0;

    void SetUp() override {
        QSettings().clear();
        physics.setContainerSize({1920, 1080});
        physics.setImageSize({1080, 1080});
        physics.setAngleSource([this] {
            ++draws;
            const double angle = angles.front();
            if (angles.size() > 1)
                angles.pop_front();
            return angle;
        });
    }
    // One frame of 0.05 s after a stalled one, which only sets the clock.
    void frame(QPointF position, QPointF velocity) {
        physics.setState({position, velocity});
        physics.step(clock += 1.0);
        physics.step(clock += 0.05);
    }
};

TEST_F(Drift, FirstFrameOnlySetsTheClockAndLongFramesMoveNothing) {
    physics.setState({{10, 20}, {8, 0}});
    physics.step(5.0);
    physics.step(5.15); // a stall: skipped, but the clock moves on
    physics.step(5.2);
    EXPECT_EQ(physics.position(), QPointF(10.4, 20));
    physics.setImageSize({0, 0}); // not measured yet: the clock only
    physics.step(5.25);
    EXPECT_EQ(physics.position(), QPointF(10.4, 20));
}

// Each frame carries the artwork 0.3 points past the bounds. Kicks are drawn
// along the normal, so the velocity shows which normal was used, until one
// has more than a fifth along it (cos below -0.2 at the right wall); after
// ten failed draws the normal itself.
TEST_F(Drift, CollisionTable) {
    const double a = 3.151354388633341, b = 7.3531602401444625;
    const struct {
        QPointF start, velocity, landed;
        std::deque<double> draws;
        QPointF after;
        int drawn;
    } rows[] = {
        {{689.9, 269.9}, {6, 6}, {690, 270}, {-M_PI / 2}, {a, -b}, 1}, // corner: the floor first
        {{-689.9, -269.9}, {-6, -6}, {-690, -270}, {M_PI / 2}, {-a, b}, 1}, // and the ceiling
        {{-689.9, 0}, {-6, 0}, {-690, 0}, {0}, {8, 0}, 1},
        {{0, -269.9}, {0, -6}, {0, -270}, {M_PI / 2}, {0, 8}, 1},
        {{0, 0}, {6, 6}, {0.3, 0.3}, {0}, {6, 6}, 0}, // inside: no bounce
        {{689.9, 0}, {6, 0}, {690, 0}, {0, M_PI / 2, std::acos(-0.19), M_PI, 0}, {-8, 0}, 4},
        {{689.9, 0}, {6, 0}, {690, 0}, {M_PI / 2}, {-8, 0}, 10},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.start.x() << ", " << row.start.y());
        angles = row.draws;
        draws = 0;
        frame(row.start, row.velocity);
        EXPECT_EQ(physics.position(), row.landed);
        EXPECT_EQ(physics.velocity(), row.after);
        EXPECT_EQ(draws, row.drawn);
    }
}

TEST_F(Drift, SavedStateRoundTrip) {
    { BouncingArtworkPhysics unused; }
    EXPECT_FALSE(loadDriftState()) << "saved before the first appearance";
    angles = {M_PI / 2}; // first use: the centre, a random direction at speed 8
    physics.appear(1.0);
    physics.step(1.05); // appearance set the clock: this frame moves
    physics.disappear();
    EXPECT_EQ(loadDriftState()->position, QPointF(0, 0.4));
    EXPECT_EQ(QSettings().value("OLEDLastVY"), 8.0);

    // A later view continues there, slower or not, at its first appearance only.
    saveDriftState({{-12.5, 30}, {3, -4}});
    BouncingArtworkPhysics next;
    next.appear(0);
    EXPECT_EQ(next.position(), QPointF(-12.5, 30));
    EXPECT_EQ(next.velocity(), QPointF(3, -4));
    next.setState({{99, 98}, {1, 1}});
    next.appear(0);
    EXPECT_EQ(next.position(), QPointF(99, 98));

    // A stored standstill gets a random direction; missing keys read as 0.
    QSettings().clear();
    QSettings().setValue("OLEDLastX", 7.0);
    {
        BouncingArtworkPhysics still;
        still.setAngleSource([] { return M_PI; });
        still.appear(0);
        EXPECT_EQ(still.position(), QPointF(7, 0));
    } // gone without a goodbye: still saved
    EXPECT_EQ(loadDriftState().value_or(DriftState{}).velocity, QPointF(-8, 0));
}

} // namespace
