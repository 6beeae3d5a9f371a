// Inhibitions taken from and given back to (fake) desktop services over D-Bus.
#include "support/testsupport.h"
#include "system/sleepinhibitor.h"
#include "system/sleepmanager.h"
#include "system_privatebus.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

using namespace systemtest;
using testsupport::capturedLines;
using testsupport::waitUntil;

namespace {

struct InhibitCase {
    const char* name;
    QStringList services;
    SleepMode mode;
    QStringList taken; // the log lines, sorted
    QStringList givenBack;
};

class SleepInhibitorTest : public ::testing::TestWithParam<InhibitCase> {
protected:
    std::unique_ptr<SleepInhibitor> inhibit(SleepMode mode) {
        // logind lives on the same private bus here.
        return std::make_unique<SleepInhibitor>(mode, "Media Playback", connection, connection);
    }
    static QStringList sorted(QStringList lines) {
        lines.sort();
        return lines;
    }

    PrivateBus bus;
    QDBusConnection connection = bus.connect("player");
};

TEST_P(SleepInhibitorTest, TakesAndGivesBackOnce) {
    const InhibitCase& row = GetParam();
    FakeInhibitService fake(row.services);
    ASSERT_TRUE(fake.isReady());
    std::unique_ptr<SleepInhibitor> inhibitor = inhibit(row.mode);
    ASSERT_TRUE(waitUntil([&] { return inhibitor->isSettled(); }));
    EXPECT_EQ(sorted(fake.log()), row.taken);
    inhibitor->release();
    ASSERT_TRUE(fake.waitForLines(int(row.taken.size() + row.givenBack.size())));
    EXPECT_EQ(sorted(fake.log().mid(row.taken.size())), row.givenBack);
    // Destruction after the release gives back nothing more: a new
    // inhibition's lines come next.
    inhibitor.reset();
    inhibitor = inhibit(row.mode);
    ASSERT_TRUE(waitUntil([&] { return inhibitor->isSettled(); }));
    EXPECT_EQ(fake.log().size(), 2 * row.taken.size() + row.givenBack.size());
}

const QString portal = "portal-inhibit 1 flags=%1 reason=Media Playback";
const QString login1 = "login1-inhibit 1 what=%1 who=Tolvane why=Media Playback mode=block";

INSTANTIATE_TEST_SUITE_P(
    Cases, SleepInhibitorTest,
    ::testing::Values(InhibitCase{"PortalSuspend",
                                  {"--portal", "--screensaver", "--login1"},
                                  SleepMode::systemOnly,
                                  {portal.arg(4)},
                                  {"portal-close 1"}},
                      InhibitCase{"PortalIdleAndSuspend",
                                  {"--portal"},
                                  SleepMode::displayAndSystem,
                                  {portal.arg(12)},
                                  {"portal-close 1"}},
                      InhibitCase{"LogindSleep",
                                  {"--screensaver", "--login1"},
                                  SleepMode::systemOnly,
                                  {login1.arg("sleep")},
                                  {"login1-release 1"}},
                      InhibitCase{
                          "LogindAndScreenSaver",
                          {"--screensaver", "--login1"},
                          SleepMode::displayAndSystem,
                          {login1.arg("idle:sleep"),
                           "screensaver-inhibit 1 application=Tolvane reason=Media Playback"},
                          {"login1-release 1", "screensaver-uninhibit 1"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SleepInhibitor, NoServiceAtAllIsNoFailure) {
    PrivateBus bus;
    QDBusConnection connection = bus.connect("player");
    SleepInhibitor inhibitor(SleepMode::displayAndSystem, "Media Playback", connection, connection);
    EXPECT_TRUE(waitUntil([&] { return inhibitor.isSettled(); }));
    inhibitor.release();
    EXPECT_TRUE(inhibitor.isReleased());
}

TEST(SleepInhibitor, AnInhibitionGrantedAfterItWasDiscardedIsGivenBack) {
    PrivateBus bus;
    QDBusConnection connection = bus.connect("player");
    FakeInhibitService fake({"--portal"});
    ASSERT_TRUE(fake.isReady());
    QPointer<SleepInhibitor> inhibitor =
        new SleepInhibitor(SleepMode::systemOnly, "Media Playback", connection, connection);
    // Discarded before the portal has answered.
    SleepInhibitor::discard(inhibitor);
    ASSERT_TRUE(fake.waitForLines(2));
    EXPECT_EQ(fake.log(), (QStringList{portal.arg(4), "portal-close 1"}));
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return inhibitor.isNull();
    }));
}

TEST(SleepInhibitor, TheManagersStarterHoldsOneInhibitionAtATime) {
    PrivateBus bus;
    QDBusConnection connection = bus.connect("player");
    FakeInhibitService fake({"--portal"});
    ASSERT_TRUE(fake.isReady());
    SleepManager manager;
    manager.setActivityStarter(SleepManager::inhibitorStarter(connection, connection));
    // Full screen, playing, and the lines logged by then: the second update
    // asks for what is held already.
    const std::tuple<bool, bool, int> updates[] = {{false, true, 1},  {false, true, 1},
                                                   {false, false, 2}, {true, false, 3},
                                                   {false, false, 4}, {false, true, 5}};
    for (const auto& [fullScreen, playing, lines] : updates) {
        capturedLines([&] { manager.update(fullScreen, playing); });
        ASSERT_TRUE(fake.waitForLines(lines)) << lines;
    }
    EXPECT_EQ(fake.log(),
              (QStringList{portal.arg(4), "portal-close 1",
                           "portal-inhibit 2 flags=12 reason=Media Playback", "portal-close 2",
                           "portal-inhibit 3 flags=4 reason=Media Playback"}));
}

} // namespace
