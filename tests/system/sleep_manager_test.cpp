// Sleep-prevention modes: one activity held for the mode, each change said once.
#include "support/testsupport.h"
#include "system/sleepmanager.h"

#include <gtest/gtest.h>

using testsupport::capturedLines;

namespace {

// Each sequence of updates (full screen, playing) starts from nothing held;
// per update: the mode, its printed line ("" none), activities begun and ended.
TEST(SleepManager, EachUpdateHoldsOneActivityForItsModeAndSaysSoOnce) {
    using enum SleepMode;
    struct Step {
        bool fullScreen, playing;
        SleepMode mode;
        QString line;
        int begun, ended;
    };
    const QString system = "SleepManager: Preventing System Sleep";
    const QString display = "SleepManager: Preventing Display & System Sleep";
    const std::vector<std::vector<Step>> sequences = {
        {{false, false, none, "", 0, 0}},
        {{false, true, systemOnly, system, 1, 0},
         {false, true, systemOnly, "", 0, 0},
         {false, false, none, "", 0, 1}},
        {{true, false, displayAndSystem, display, 1, 0},
         {true, true, displayAndSystem, "", 0, 0},
         {false, true, systemOnly, system, 1, 1},
         {true, true, displayAndSystem, display, 1, 1}},
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
            begun.clear();
            ended = 0;
            const QStringList lines =
                capturedLines([&] { manager.update(step.fullScreen, step.playing); });
            EXPECT_EQ(lines.join(""), step.line) << &step - sequence.data();
            EXPECT_EQ(manager.currentMode(), step.mode);
            EXPECT_EQ(begun, QList<SleepMode>(step.begun, step.mode));
            EXPECT_EQ(ended, step.ended);
        }
        ended = 0;
        EXPECT_TRUE(capturedLines([&] { manager.allowSleep(); }).isEmpty());
        EXPECT_EQ(ended, sequence.back().mode != none ? 1 : 0);
        EXPECT_FALSE(manager.holdsActivity());
    }
}

} // namespace
