// Inhibitions taken from and given back to (fake) desktop services over D-Bus.
#include "system/sleepinhibitor.h"
#include "support/testsupport.h"
#include "system_privatebus.h"

#include <QCoreApplication>
#include <QPointer>
#include <gtest/gtest.h>

using namespace systemtest;
using testsupport::waitUntil;

namespace {

const QString reason = QStringLiteral("Media Playback");

class SleepInhibitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning()) << "dbus-daemon did not start";
        connection = bus.connect(QStringLiteral("player"));
    }

    std::unique_ptr<FakeInhibitService> start(const QStringList& services) {
        auto fake = std::make_unique<FakeInhibitService>(bus, services);
        EXPECT_TRUE(fake->isReady());
        return fake;
    }
    std::unique_ptr<SleepInhibitor> inhibit(SleepMode mode) {
        // logind lives on the same private bus here.
        return std::make_unique<SleepInhibitor>(mode, reason, connection, connection);
    }
    static bool settle(SleepInhibitor& inhibitor) {
        return waitUntil([&] { return inhibitor.isSettled(); });
    }

    PrivateBus bus;
    QDBusConnection connection{QString()};
};

TEST_F(SleepInhibitorTest, ThePortalHoldsSuspendForSystemOnly) {
    auto fake = start({"--portal", "--screensaver", "--login1"});
    auto inhibitor = inhibit(SleepMode::systemOnly);
    ASSERT_TRUE(settle(*inhibitor));
    EXPECT_EQ(fake->log(), QStringList{"portal-inhibit 1 flags=4 reason=Media Playback"});
    inhibitor->release();
    ASSERT_TRUE(fake->waitForLines(2));
    EXPECT_EQ(fake->log().last(), QStringLiteral("portal-close 1"));
}

TEST_F(SleepInhibitorTest, ThePortalHoldsIdleAndSuspendForTheDisplay) {
    auto fake = start({"--portal"});
    auto inhibitor = inhibit(SleepMode::displayAndSystem);
    ASSERT_TRUE(settle(*inhibitor));
    EXPECT_EQ(fake->log(), QStringList{"portal-inhibit 1 flags=12 reason=Media Playback"});
    // Destruction gives it back too, once.
    inhibitor.reset();
    ASSERT_TRUE(fake->waitForLines(2));
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(fake->log(),
              (QStringList{"portal-inhibit 1 flags=12 reason=Media Playback", "portal-close 1"}));
}

TEST_F(SleepInhibitorTest, WithoutAPortalLogindHoldsSleep) {
    auto fake = start({"--screensaver", "--login1"});
    auto inhibitor = inhibit(SleepMode::systemOnly);
    ASSERT_TRUE(settle(*inhibitor));
    EXPECT_EQ(fake->log(),
              QStringList{"login1-inhibit 1 what=sleep who=Tolvane why=Media Playback mode=block"});
    inhibitor->release();
    ASSERT_TRUE(fake->waitForLines(2));
    EXPECT_EQ(fake->log().last(), QStringLiteral("login1-release 1"));
}

TEST_F(SleepInhibitorTest, WithoutAPortalTheScreenSaverKeepsTheDisplayAwake) {
    auto fake = start({"--screensaver", "--login1"});
    auto inhibitor = inhibit(SleepMode::displayAndSystem);
    ASSERT_TRUE(settle(*inhibitor));
    QStringList log = fake->log();
    log.sort();
    EXPECT_EQ(log, (QStringList{
                       "login1-inhibit 1 what=idle:sleep who=Tolvane why=Media Playback mode=block",
                       "screensaver-inhibit 1 application=Tolvane reason=Media Playback"}));
    inhibitor->release();
    ASSERT_TRUE(fake->waitForLines(4));
    log = fake->log().mid(2);
    log.sort();
    EXPECT_EQ(log, (QStringList{"login1-release 1", "screensaver-uninhibit 1"}));
}

TEST_F(SleepInhibitorTest, NoServiceAtAllIsNoFailure) {
    auto inhibitor = inhibit(SleepMode::displayAndSystem);
    EXPECT_TRUE(settle(*inhibitor));
    inhibitor->release();
    EXPECT_TRUE(inhibitor->isReleased());
}

TEST_F(SleepInhibitorTest, AnInhibitionGrantedAfterItWasDiscardedIsGivenBack) {
    auto fake = start({"--portal"});
    QPointer<SleepInhibitor> inhibitor = inhibit(SleepMode::systemOnly).release();
    // Discarded before the portal has answered.
    SleepInhibitor::discard(inhibitor);
    ASSERT_TRUE(fake->waitForLines(2));
    EXPECT_EQ(fake->log(),
              (QStringList{"portal-inhibit 1 flags=4 reason=Media Playback", "portal-close 1"}));
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return inhibitor.isNull();
    }));
}

TEST(SleepInhibitorNames, FlagsAndLogindWhatFollowTheMode) {
    EXPECT_EQ(SleepInhibitor::portalFlags(SleepMode::systemOnly), 4u);
    EXPECT_EQ(SleepInhibitor::portalFlags(SleepMode::displayAndSystem), 12u);
    EXPECT_EQ(SleepInhibitor::logindWhat(SleepMode::systemOnly), QStringLiteral("sleep"));
    EXPECT_EQ(SleepInhibitor::logindWhat(SleepMode::displayAndSystem),
              QStringLiteral("idle:sleep"));
}

} // namespace
