// Sleep-prevention modes, their printed lines and the one activity held.
#include "support/testsupport.h"
#include "system/sleepmanager.h"

#include <gtest/gtest.h>

using testsupport::capturedLines;

namespace {

const QString systemLine = "SleepManager: Preventing System Sleep";
const QString displayLine = "SleepManager: Preventing Display & System Sleep";

struct Step {
    bool fullScreen;
    bool playing;
    SleepMode mode;
    QStringList lines;
    QList<SleepMode> begun; // activities begun by the step
    int ended;              // activities ended by the step
};

// Each row is a sequence of updates from nothing held.
TEST(SleepManager, EachUpdateHoldsOneActivityForItsModeAndSaysSoOnce) {
    using enum SleepMode;
    const std::vector<std::vector<Step>> sequences = {
        {{false, false, none, {}, {}, 0}},
        {{false, true, systemOnly, {systemLine}, {systemOnly}, 0},
         {false, true, systemOnly, {}, {}, 0},
         {false, false, none, {}, {}, 1}},
        {{true, false, displayAndSystem, {displayLine}, {displayAndSystem}, 0},
         {true, true, displayAndSystem, {}, {}, 0},
         {false, false, none, {}, {}, 1}},
        {{false, true, systemOnly, {systemLine}, {systemOnly}, 0},
         {true, true, displayAndSystem, {displayLine}, {displayAndSystem}, 1},
         {false, true, systemOnly, {systemLine}, {systemOnly}, 1}},
    };
    for (const std::vector<Step>& sequence : sequences) {
        SleepManager manager;
        QList<SleepMode> begun;
        int ended = 0;
        manager.setActivityStarter([&](SleepMode mode) {
            begun.append(mode);
            return [&] { ++ended; };
        });
        for (const Step& step : sequence) {
            SCOPED_TRACE(::testing::Message()
                         << &step - sequence.data() << " of a sequence of " << sequence.size());
            begun.clear();
            ended = 0;
            EXPECT_EQ(capturedLines([&] { manager.update(step.fullScreen, step.playing); }),
                      step.lines);
            EXPECT_EQ(manager.currentMode(), step.mode);
            EXPECT_EQ(manager.holdsActivity(), step.mode != none);
            EXPECT_EQ(begun, step.begun);
            EXPECT_EQ(ended, step.ended);
        }
        ended = 0;
        EXPECT_TRUE(capturedLines([&] { manager.allowSleep(); }).isEmpty());
        EXPECT_EQ(ended, sequence.back().mode != none ? 1 : 0);
        EXPECT_FALSE(manager.holdsActivity());
    }
}

TEST(SleepManager, PreventingSleepAgainReplacesTheActivityAndNoneOnlyAllowsSleep) {
    SleepManager manager;
    int held = 0;
    int begun = 0;
    manager.setActivityStarter([&](SleepMode) {
        ++held;
        ++begun;
        return [&] { --held; };
    });
    capturedLines([&] {
        manager.preventSleep(SleepMode::systemOnly);
        manager.preventSleep(SleepMode::systemOnly);
    });
    EXPECT_EQ(held, 1);
    EXPECT_EQ(begun, 2);
    EXPECT_TRUE(capturedLines([&] { manager.preventSleep(SleepMode::none); }).isEmpty());
    EXPECT_EQ(manager.currentMode(), SleepMode::none);
    EXPECT_EQ(held, 0);
}

} // namespace
