// Inhibitions taken from and given back to (fake) desktop services over D-Bus.
#include "support/testsupport.h"
#include "system/sleepinhibitor.h"
#include "system_privatebus.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

using namespace systemtest;
using testsupport::waitUntil;

namespace {

const QString portal = "portal-inhibit %1 flags=%2 reason=Media Playback";
const QString login1 = "login1-inhibit 1 what=%1 who=Tolvane why=Media Playback mode=block";

struct InhibitCase {
    const char* name;
    QStringList services;
    SleepMode mode;
    QStringList taken; // the log lines, sorted
    QStringList givenBack;
};

class SleepInhibitorTest : public ::testing::TestWithParam<InhibitCase> {
protected:
    // logind lives on the same private bus here.
    SleepInhibitor* inhibit(SleepMode mode) {
        return new SleepInhibitor(mode, "Media Playback", connection, connection);
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
    std::unique_ptr<SleepInhibitor> inhibitor(inhibit(row.mode));
    ASSERT_TRUE(waitUntil([&] { return inhibitor->isSettled(); }));
    EXPECT_EQ(sorted(fake.log()), row.taken);
    inhibitor->release();
    EXPECT_TRUE(inhibitor->isReleased());
    ASSERT_TRUE(fake.waitForLines(int(row.taken.size() + row.givenBack.size())));
    EXPECT_EQ(sorted(fake.log().mid(row.taken.size())), row.givenBack);
    // Destruction after the release gives back nothing more: a new
    // inhibition's lines come next.
    inhibitor.reset(inhibit(row.mode));
    ASSERT_TRUE(waitUntil([&] { return inhibitor->isSettled(); }));
    EXPECT_EQ(fake.log().size(), 2 * row.taken.size() + row.givenBack.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SleepInhibitorTest,
    ::testing::Values(InhibitCase{"NoServiceIsNoFailure", {}, SleepMode::displayAndSystem, {}, {}},
                      InhibitCase{"PortalSuspend",
                                  {"--portal", "--screensaver", "--login1"},
                                  SleepMode::systemOnly,
                                  {portal.arg(1).arg(4)},
                                  {"portal-close 1"}},
                      InhibitCase{"PortalIdleAndSuspend",
                                  {"--portal"},
                                  SleepMode::displayAndSystem,
                                  {portal.arg(1).arg(12)},
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

TEST_F(SleepInhibitorTest, AnInhibitionGrantedAfterItWasDiscardedIsGivenBack) {
    FakeInhibitService fake({"--portal"});
    ASSERT_TRUE(fake.isReady());
    QPointer<SleepInhibitor> inhibitor = inhibit(SleepMode::systemOnly);
    SleepInhibitor::discard(inhibitor); // before the portal has answered
    ASSERT_TRUE(fake.waitForLines(2));
    EXPECT_EQ(fake.log(), (QStringList{portal.arg(1).arg(4), "portal-close 1"}));
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return inhibitor.isNull();
    }));
}

} // namespace
