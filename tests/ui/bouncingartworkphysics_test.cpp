#include "ui/bouncingartworkphysics.h"

#include <QSettings>
#include <QtMath>
#include <cmath>
#include <deque>
#include <gtest/gtest.h>

namespace {

// A 1920 x 1080 area with a square artwork box of 1080: bx = 690, by = 270.
struct Drift : ::testing::Test {
    BouncingArtworkPhysics physics;
    std::deque<double> angles; // the draws to come; the last one repeats
    int draws = 0;
    double clock = 100.0;

    void SetUp() override {
        QSettings().clear();
        physics.setContainerSize({1920, 1080});
        physics.setImageSize({1080, 1080});
        physics.setAngleSource([this] {
            ++draws;
            const double angle = angles.empty() ? 0.0 : angles.front();
            if (angles.size() > 1)
                angles.pop_front();
            return angle;
        });
    }
    // One frame of `dt` seconds after a stalled one, which only sets the clock.
    void frame(QPointF position, QPointF velocity, double dt) {
        physics.setState({position, velocity});
        physics.step(clock += 1.0);
        physics.step(clock += dt);
    }
};

double speed(QPointF v) {
    return std::hypot(v.x(), v.y());
}

#define EXPECT_POINT(actual, ex, ey)                                                               \
    do {                                                                                           \
        EXPECT_NEAR((actual).x(), (ex), 1e-9);                                                     \
        EXPECT_NEAR((actual).y(), (ey), 1e-9);                                                     \
    } while (0)

TEST_F(Drift, FirstFrameOnlySetsTheClockAndLongFramesMoveNothing) {
    physics.setState({{10, 20}, {8, 0}});
    physics.step(5.0);
    EXPECT_POINT(physics.position(), 10, 20);
    physics.step(5.15); // a stall: skipped, but the clock moves on
    EXPECT_POINT(physics.position(), 10, 20);
    physics.step(5.2);
    EXPECT_POINT(physics.position(), 10.4, 20);
    physics.setImageSize({0, 0}); // not measured yet: the clock only
    physics.step(5.25);
    EXPECT_POINT(physics.position(), 10.4, 20);
}

// Each row: the frame of 0.05 s carries the artwork 0.3 points past the
// bounds. The kick is drawn along the normal: it shows which one was used.
TEST_F(Drift, CollisionTable) {
    const double a = 3.151354388633341, b = 7.3531602401444625;
    const double up = -M_PI / 2, down = M_PI / 2, left = M_PI, right = 0;
    const struct {
        QPointF start, velocity, landed;
        double normalAngle;
        QPointF velocityAfter;
    } rows[] = {
        {{689.9, 269.9}, {6, 6}, {690, 270}, up, {a, -b}},     // right and below: floor
        {{689.9, -269.9}, {6, -6}, {690, -270}, down, {a, b}}, // right and above: ceiling
        {{689.9, 0}, {6, 0}, {690, 0}, left, {-8, 0}},         // right wall
        {{-689.9, 269.9}, {-6, 6}, {-690, 270}, up, {-a, -b}},
        {{-689.9, -269.9}, {-6, -6}, {-690, -270}, down, {-a, b}},
        {{-689.9, 0}, {-6, 0}, {-690, 0}, right, {8, 0}}, // left wall
        {{0, 269.9}, {0, 6}, {0, 270}, up, {0, -8}},      // floor
        {{0, -269.9}, {0, -6}, {0, -270}, down, {0, 8}},  // ceiling
        {{0, 0}, {6, 6}, {0.3, 0.3}, up, {6, 6}},         // inside: no bounce
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.start.x() << ", " << row.start.y());
        angles = {row.normalAngle};
        frame(row.start, row.velocity, 0.05);
        EXPECT_POINT(physics.position(), row.landed.x(), row.landed.y());
        EXPECT_POINT(physics.velocity(), row.velocityAfter.x(), row.velocityAfter.y());
    }
    EXPECT_EQ(draws, 8);
}

TEST_F(Drift, CornerTurnsVerticallyFirstThenAtTheSideWall) {
    angles = {-M_PI / 2}; // kick straight up, along the floor's normal
    frame({689.9, 269.9}, {6, 6}, 0.05);
    EXPECT_GT(physics.velocity().x(), 0); // still heading out on the right
    EXPECT_LT(physics.velocity().y(), 0);
    angles = {M_PI};
    physics.step(clock += 0.05);
    EXPECT_DOUBLE_EQ(physics.position().x(), 690);
    EXPECT_LT(physics.velocity().x(), 0);
    EXPECT_NEAR(speed(physics.velocity()), 8.0, 1e-12);
}

TEST_F(Drift, KickNeedsMoreThanAFifthAlongTheNormal) {
    // Right wall, normal (-1, 0): cos(angle) must be below -0.2.
    angles = {0.0, M_PI / 2, std::acos(-0.19), M_PI, 0.0};
    frame({689.9, 0}, {6, 0}, 0.05);
    EXPECT_EQ(draws, 4);
    EXPECT_POINT(physics.velocity(), -8, 0); // reflected (-6, 0) + 8 (-1, 0)
    // No draw qualifies in ten: the kick is the normal, and no eleventh draw.
    draws = 0;
    angles = {M_PI / 2};
    frame({689.9, 0}, {6, 3}, 0.05);
    EXPECT_EQ(draws, 10);
    EXPECT_NEAR(speed(physics.velocity()), 8.0, 1e-12);
    EXPECT_LT(physics.velocity().x(), 0);
}

TEST_F(Drift, SavedStateRoundTrip) {
    { BouncingArtworkPhysics unused; }
    EXPECT_FALSE(loadDriftState()) << "saved before the first appearance";
    // First use: centre, a random direction at speed 8.
    angles = {M_PI / 2};
    physics.appear(1.0);
    EXPECT_POINT(physics.position(), 0, 0);
    EXPECT_POINT(physics.velocity(), 0, 8);
    physics.step(1.05); // appearance set the clock: this frame moves
    physics.disappear();
    EXPECT_NEAR(QSettings().value("OLEDLastY").toDouble(), 0.4, 1e-9);
    EXPECT_DOUBLE_EQ(QSettings().value("OLEDLastVY").toDouble(), 8.0);

    // A later view continues there; a slower velocity stays until a bounce.
    saveDriftState({{-12.5, 30}, {3, -4}});
    BouncingArtworkPhysics next;
    next.appear(0);
    EXPECT_POINT(next.position(), -12.5, 30);
    EXPECT_POINT(next.velocity(), 3, -4);
    next.setState({{99, 98}, {1, 1}});
    next.appear(0); // only the first appearance counts
    EXPECT_POINT(next.position(), 99, 98);

    // A stored standstill gets a random direction; missing keys read as 0.
    QSettings().clear();
    QSettings().setValue("OLEDLastX", 7.0);
    {
        BouncingArtworkPhysics still;
        still.setAngleSource([] { return M_PI; });
        still.appear(0);
        EXPECT_POINT(still.position(), 7, 0);
        EXPECT_POINT(still.velocity(), -8, 0);
    } // gone without a goodbye: still saved
    ASSERT_TRUE(loadDriftState());
    EXPECT_POINT(loadDriftState()->velocity, -8, 0);
}

} // namespace
