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
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel();
        vm->seek(1); // without a player: nothing
        EXPECT_FALSE(vm->progress()->isSeeking());
    }
    void load(const QString& name) { vm->loadFile(library->file(name), false); }
    static QString positionFile(const MediaItem& item) {
        return MediaCacheManager::shared().subdirectory("PlaybackPositions") + '/' +
               cacheKey(item.url()) + ".json";
    }
};

TEST_F(Progress, TheOneTimeObserverMovesToEachNewPlayer) {
    load("f1");
    fake()->reachTime(1.25);
    EXPECT_EQ(vm->progress()->currentTime(), 1.25);
    const auto firstLog = lastLog;
    load("f2");
    EXPECT_EQ(firstLog->timeObserversAtDestruction, 0);
    fake()->reachTime(0.5);
    EXPECT_EQ(vm->progress()->currentTime(), 0.5);
    vm->removeTimeObserver();
    fake()->reachTime(0.75);
    EXPECT_EQ(vm->progress()->currentTime(), 0.5);
}

TEST_F(Progress, ASeekHoldsTheTimeUntilItCompletesOrIsInterrupted) {
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
    vm->seek(10);
    fake()->completeSeek(false);
    EXPECT_FALSE(vm->progress()->isSeeking());
}

TEST_F(Progress, SeekGoesToTheNearestMediaTimeStep) {
    load("f1");
    vm->seek(1.0001);
    vm->seek(83.25);
    vm->seek(-3);
    EXPECT_EQ(fake()->seeks, QList<double>({1.0, 83.25, 0.0}));
}

TEST_F(Progress, QuittingSavesTheSecondsAsAJsonNumberOnceTheTrackHasStarted) {
    load("f1");
    vm->savePlaybackPosition(); // at zero: nothing
    EXPECT_TRUE(takeLines("^Saved").isEmpty());
    EXPECT_FALSE(QFile::exists(positionFile(library->file("f1"))));
    fake()->reachTime(83.25);
    vm->savePlaybackPosition();
    EXPECT_EQ(takeLines("^Saved"), QStringList{"Saved playback position: 83.25 for f1.wav"});
    EXPECT_EQ(readFile(positionFile(library->file("f1"))), "83.25");

    // The same track shares one file and the later quit wins.
    load("f2");
    load("f1");
    fake()->reachTime(0.1 + 0.2);
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_EQ(PlaybackPositionStore::decode(readFile(positionFile(library->file("f1")))),
              0.1 + 0.2);
    EXPECT_EQ(QDir(MediaCacheManager::shared().subdirectory("PlaybackPositions"))
                  .entryList(QDir::Files)
                  .size(),
              1);

    // Without its folder the position is lost, and the line printed all the same.
    fake()->reachTime(5);
    QDir(MediaCacheManager::shared().subdirectory("PlaybackPositions")).removeRecursively();
    takeLines();
    vm->savePlaybackPosition();
    EXPECT_EQ(takeLines("^Saved"), QStringList{"Saved playback position: 5.0 for f1.wav"});
    EXPECT_FALSE(QFile::exists(positionFile(library->file("f1"))));
}

TEST(PlaybackPositionStore, EncodesNumbersThatReadBackExactly) {
    for (double seconds : {83.25, 0.1 + 0.2, 1e-7, 12345678.875, 1e21}) {
        const QByteArray json = PlaybackPositionStore::encode(seconds);
        EXPECT_EQ(PlaybackPositionStore::decode(json), seconds) << json.constData();
    }
    EXPECT_TRUE(PlaybackPositionStore::encode(std::numeric_limits<double>::infinity()).isEmpty());
    for (const char* bad : {"\"83\"", "1],[2", ""})
        EXPECT_FALSE(PlaybackPositionStore::decode(bad)) << bad;
}

} // namespace
