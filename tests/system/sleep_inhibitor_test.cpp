#include "support/testsupport.h"
#include "system/sleepinhibitor.h"
#include "system_privatebus.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

using namespace systemtest;
using testsupport::waitUntil;

namespace {

const QString portal = "portal-inhibit 1 flags=%1 reason=Media Playback";
const QString login1 = "login1-inhibit 1 what=%1 who=Tolvane why=Media Playback mode=block";
const QString screensaver = "screensaver-inhibit 1 application=Tolvane reason=Media Playback";

struct InhibitCase {
    const char* name;
    const char* services;
    SleepMode mode;
    QString taken, givenBack; // the log lines, sorted, joined by ';'
};

class SleepInhibitorTest : public ::testing::TestWithParam<InhibitCase> {};

QString sorted(QStringList lines) {
    lines.sort();
    return lines.join(';');
}

// Given back once, after release; one discarded before the answers once they come.
TEST_P(SleepInhibitorTest, TakesAndGivesBackOnce) {
    const InhibitCase& row = GetParam();
    PrivateBus bus;
    QDBusConnection connection = bus.connect("player");
    const auto inhibit = [&](SleepMode mode) { // logind lives on the same private bus here
        return new SleepInhibitor(mode, "Media Playback", connection, connection);
    };
    FakeInhibitService fake(QString(row.services).split(' ', Qt::SkipEmptyParts));
    ASSERT_TRUE(fake.isReady());
    std::unique_ptr<SleepInhibitor> inhibitor(inhibit(row.mode));
    ASSERT_TRUE(waitUntil([&] { return inhibitor->isSettled(); }));
    const qsizetype taken = fake.log().size();
    EXPECT_EQ(sorted(fake.log()), row.taken);
    inhibitor->release();
    EXPECT_TRUE(inhibitor->isReleased());
    ASSERT_TRUE(fake.waitForLines(2 * taken));
    EXPECT_EQ(sorted(fake.log().mid(taken)), row.givenBack);
    inhibitor.reset();
    QPointer<SleepInhibitor> discarded = inhibit(row.mode);
    SleepInhibitor::discard(discarded); // before the services have answered
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return discarded.isNull();
    }));
    ASSERT_TRUE(fake.waitForLines(4 * taken));
    const QString second = QString(row.taken + ';' + row.givenBack).replace(" 1", " 2");
    EXPECT_EQ(sorted(fake.log().mid(2 * taken)), sorted(second.split(';', Qt::SkipEmptyParts)));
}

using enum SleepMode;
INSTANTIATE_TEST_SUITE_P(
    Cases, SleepInhibitorTest,
    ::testing::Values(InhibitCase{"NoServiceIsNoFailure", "", displayAndSystem, "", ""},
                      InhibitCase{"PortalSuspend", "--portal --screensaver --login1", systemOnly,
                                  portal.arg(4), "portal-close 1"},
                      InhibitCase{"LogindSleep", "--screensaver --login1", systemOnly,
                                  login1.arg("sleep"), "login1-release 1"},
                      InhibitCase{"LogindAndScreenSaver", "--screensaver --login1",
                                  displayAndSystem, login1.arg("idle:sleep") + ';' + screensaver,
                                  "login1-release 1;screensaver-uninhibit 1"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
