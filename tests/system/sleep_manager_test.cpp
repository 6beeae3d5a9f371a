// Sleep-prevention modes, their printed lines and the one activity held.
#include "system/sleepmanager.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using testsupport::capturedLines;

namespace {

const QString systemLine = QStringLiteral("SleepManager: Preventing System Sleep");
const QString displayLine = QStringLiteral("SleepManager: Preventing Display & System Sleep");

class SleepManagerTest : public ::testing::Test {
protected:
    SleepManagerTest() {
        manager.setActivityStarter([this](SleepMode mode) {
            begun.append(mode);
            ++held;
            return [this] {
                ++ended;
                --held;
            };
        });
    }

    SleepManager manager;
    QList<SleepMode> begun;
    int held = 0;
    int ended = 0;
};

TEST_F(SleepManagerTest, StartsWithNothingHeld) {
    EXPECT_EQ(manager.currentMode(), SleepMode::none);
    EXPECT_FALSE(manager.holdsActivity());
    EXPECT_TRUE(capturedLines([&] { manager.update(false, false); }).isEmpty());
    EXPECT_TRUE(begun.isEmpty());
}

TEST_F(SleepManagerTest, PlayingPreventsSystemSleepOnce) {
    const QStringList lines = capturedLines([&] {
        manager.update(false, true);
        manager.update(false, true);
        manager.update(false, true);
    });
    EXPECT_EQ(lines, QStringList{systemLine});
    EXPECT_EQ(begun, QList<SleepMode>{SleepMode::systemOnly});
    EXPECT_EQ(manager.currentMode(), SleepMode::systemOnly);
    EXPECT_EQ(held, 1);
}

TEST_F(SleepManagerTest, FullScreenWhilePausedKeepsTheDisplayAwakeAndLeavingIsSilent) {
    EXPECT_EQ(capturedLines([&] { manager.update(true, false); }), QStringList{displayLine});
    EXPECT_EQ(manager.currentMode(), SleepMode::displayAndSystem);
    EXPECT_TRUE(capturedLines([&] { manager.update(true, false); }).isEmpty());
    EXPECT_TRUE(capturedLines([&] { manager.update(false, false); }).isEmpty());
    EXPECT_EQ(manager.currentMode(), SleepMode::none);
    EXPECT_EQ(held, 0);
    EXPECT_EQ(ended, 1);
}

TEST_F(SleepManagerTest, EachStepEndsThePreviousActivityFirst) {
    const QStringList lines = capturedLines([&] {
        manager.update(false, true); // systemOnly
        manager.update(true, true);  // displayAndSystem
        manager.update(false, true); // back to systemOnly at once
    });
    EXPECT_EQ(lines, (QStringList{systemLine, displayLine, systemLine}));
    EXPECT_EQ(begun, (QList<SleepMode>{SleepMode::systemOnly, SleepMode::displayAndSystem,
                                       SleepMode::systemOnly}));
    EXPECT_EQ(held, 1);
    EXPECT_EQ(ended, 2);
}

TEST_F(SleepManagerTest, AllowSleepEndsTheActivityInAnyMode) {
    capturedLines([&] { manager.update(true, true); });
    EXPECT_TRUE(capturedLines([&] { manager.allowSleep(); }).isEmpty());
    EXPECT_EQ(manager.currentMode(), SleepMode::none);
    EXPECT_FALSE(manager.holdsActivity());
    EXPECT_EQ(held, 0);
    manager.allowSleep();
    EXPECT_EQ(ended, 1);
}

TEST_F(SleepManagerTest, PreventingSleepAgainReplacesTheActivity) {
    capturedLines([&] {
        manager.preventSleep(SleepMode::systemOnly);
        manager.preventSleep(SleepMode::systemOnly);
    });
    EXPECT_EQ(held, 1);
    EXPECT_EQ(begun.size(), 2);
}

TEST_F(SleepManagerTest, PreventingNoneOnlyAllowsSleep) {
    capturedLines([&] { manager.preventSleep(SleepMode::systemOnly); });
    EXPECT_TRUE(capturedLines([&] { manager.preventSleep(SleepMode::none); }).isEmpty());
    EXPECT_EQ(manager.currentMode(), SleepMode::none);
    EXPECT_EQ(held, 0);
}

TEST(SleepManagerShared, IsOneInstance) {
    EXPECT_EQ(&SleepManager::shared(), &SleepManager::shared());
}

} // namespace
