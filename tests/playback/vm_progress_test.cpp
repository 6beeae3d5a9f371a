// The time observer, seeking and the position saved at quit.
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "playback/playbackpositionstore.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

using namespace testsupport;
using namespace vmtest;

namespace {

class Progress : public PlaybackFixture {
protected:
    void load(const QString& name) {
        capturedLines([&] { vm->loadFile(library->file(name), false); });
    }
    static QString positionFile(const MediaItem& item) {
        return MediaCacheManager::shared().subdirectory("PlaybackPositions") + '/' +
               cacheKey(item.url()) + ".json";
    }
};

TEST_F(Progress, TimeObserverFeedsCurrentTime) {
    makeViewModel();
    load("f1");
    ASSERT_EQ(fake()->observerIntervals.size(), 1);
    EXPECT_EQ(fake()->observerIntervals.first(), 0.05);
    fake()->reachTime(1.25);
    EXPECT_EQ(vm->progress()->currentTime(), 1.25);
}

TEST_F(Progress, EachLoadMovesTheOneObserverToTheNewPlayer) {
    makeViewModel();
    load("f1");
    const auto firstLog = lastLog;
    load("f2");
    EXPECT_EQ(firstLog->timeObserversAtDestruction, 0);
    fake()->reachTime(0.5);
    EXPECT_EQ(vm->progress()->currentTime(), 0.5);
    vm->removeTimeObserver();
    fake()->reachTime(0.75);
    EXPECT_EQ(vm->progress()->currentTime(), 0.5);
}

TEST_F(Progress, SeekHoldsTheTimeUntilItCompletes) {
    makeViewModel();
    load("f1");
    fake()->reachTime(3);
    vm->seek(40);
    EXPECT_TRUE(vm->progress()->isSeeking());
    EXPECT_EQ(vm->progress()->currentTime(), 3.0) << "seeking does not write the time";
    fake()->reachTime(3.05); // a late periodic update from before the seek
    EXPECT_EQ(vm->progress()->currentTime(), 3.0);
    fake()->completeSeek(true);
    EXPECT_FALSE(vm->progress()->isSeeking());
    fake()->reachTime(40);
    EXPECT_EQ(vm->progress()->currentTime(), 40.0);
}

TEST_F(Progress, InterruptedSeekAlsoEndsSeeking) {
    makeViewModel();
    load("f1");
    vm->seek(10);
    fake()->completeSeek(false);
    EXPECT_FALSE(vm->progress()->isSeeking());
}

TEST_F(Progress, SeekGoesToTheNearestMediaTimeStep) {
    makeViewModel();
    load("f1");
    vm->seek(1.0001);
    vm->seek(83.25);
    vm->seek(-3);
    EXPECT_EQ(fake()->seeks, QList<double>({1.0, 83.25, 0.0}));
}

TEST_F(Progress, SeekWithoutPlayerChangesNothing) {
    makeViewModel();
    vm->seek(0);
    EXPECT_FALSE(vm->progress()->isSeeking());
    EXPECT_EQ(vm->progress()->currentTime(), 0.0);
}

TEST_F(Progress, QuittingAtZeroWritesAndPrintsNothing) {
    makeViewModel();
    load("f1");
    const QStringList lines = capturedLines([&] { vm->savePlaybackPosition(); });
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_FALSE(QFile::exists(positionFile(library->file("f1"))));
}

TEST_F(Progress, QuittingMidTrackWritesTheSecondsAsAJsonNumber) {
    makeViewModel();
    load("f1");
    fake()->reachTime(83.25);
    const QStringList lines = capturedLines([&] { vm->savePlaybackPosition(); });
    EXPECT_EQ(lines, QStringList{"Saved playback position: 83.25 for f1.wav"});
    const QByteArray content = readFile(positionFile(library->file("f1")));
    EXPECT_EQ(content, "83.25");
    EXPECT_EQ(PlaybackPositionStore::decode(content), 83.25);
}

TEST_F(Progress, AboutToQuitSavesThePosition) {
    makeViewModel();
    load("g2");
    fake()->reachTime(7.5);
    capturedLines([&] {
        QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit",
                                  Qt::DirectConnection);
    });
    EXPECT_EQ(readFile(positionFile(library->file("g2"))), "7.5");
}

TEST_F(Progress, TheSameTrackSharesOneFileAndTheLaterQuitWins) {
    makeViewModel();
    load("f1");
    fake()->reachTime(10);
    capturedLines([&] { vm->savePlaybackPosition(); });
    load("f2");
    load("f1");
    fake()->reachTime(0.1 + 0.2);
    capturedLines([&] { vm->savePlaybackPosition(); });
    EXPECT_EQ(PlaybackPositionStore::decode(readFile(positionFile(library->file("f1")))),
              0.1 + 0.2);
    EXPECT_EQ(QDir(MediaCacheManager::shared().subdirectory("PlaybackPositions"))
                  .entryList(QDir::Files)
                  .size(),
              1);
}

TEST_F(Progress, MissingDirectoryLosesThePositionButStillPrints) {
    makeViewModel();
    load("f1");
    fake()->reachTime(5);
    QDir(MediaCacheManager::shared().subdirectory("PlaybackPositions")).removeRecursively();
    const QStringList lines = capturedLines([&] { vm->savePlaybackPosition(); });
    EXPECT_EQ(lines, QStringList{"Saved playback position: 5.0 for f1.wav"});
    EXPECT_FALSE(QFile::exists(positionFile(library->file("f1"))));
}

TEST(PlaybackPositionStore, EncodesNumbersThatReadBackExactly) {
    for (double seconds : {83.25, 0.1 + 0.2, 1e-7, 12345678.875, 1e21}) {
        const QByteArray json = PlaybackPositionStore::encode(seconds);
        EXPECT_EQ(PlaybackPositionStore::decode(json), seconds) << json.constData();
    }
    EXPECT_TRUE(PlaybackPositionStore::encode(std::numeric_limits<double>::infinity()).isEmpty());
    EXPECT_FALSE(PlaybackPositionStore::decode("\"83\""));
    EXPECT_FALSE(PlaybackPositionStore::decode("1],[2"));
    EXPECT_FALSE(PlaybackPositionStore::decode(""));
}

} // namespace
