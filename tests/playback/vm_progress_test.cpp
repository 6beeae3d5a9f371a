// Seeking through the view model and the position saved at quit.
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
        vm->loadFile(library->file("f1"), false);
    }
    static QString positionFile(const MediaItem& item) {
        return MediaCacheManager::shared().subdirectory("PlaybackPositions") + '/' +
               cacheKey(item.url()) + ".json";
    }
};

// A seek goes to the nearest media time step and holds the time until it
// completes or is interrupted; late periodic updates do not move it.
TEST_F(Progress, ASeekHoldsTheTimeUntilItCompletesOrIsInterrupted) {
    fake()->reachTime(3);
    vm->seek(40.0001);
    EXPECT_TRUE(vm->progress()->isSeeking());
    EXPECT_EQ(vm->progress()->currentTime(), 3.0) << "seeking does not write the time";
    fake()->reachTime(3.05); // a late periodic update from before the seek
    EXPECT_EQ(vm->progress()->currentTime(), 3.0);
    fake()->completeSeek(true);
    EXPECT_FALSE(vm->progress()->isSeeking());
    fake()->reachTime(40);
    EXPECT_EQ(vm->progress()->currentTime(), 40.0);
    vm->seek(83.25);
    fake()->completeSeek(false);
    EXPECT_FALSE(vm->progress()->isSeeking());
    vm->seek(-3);
    EXPECT_EQ(fake()->seeks, QList<double>({40.0, 83.25, 0.0}));
}

TEST_F(Progress, QuittingSavesTheSecondsAsAJsonNumberOnceTheTrackHasStarted) {
    const QString file = positionFile(library->file("f1"));
    vm->savePlaybackPosition(); // at zero: nothing
    EXPECT_TRUE(takeLines("^Saved").isEmpty());
    EXPECT_FALSE(QFile::exists(file));
    fake()->reachTime(83.25);
    vm->savePlaybackPosition();
    EXPECT_EQ(takeLines("^Saved"), QStringList{"Saved playback position: 83.25 for f1.wav"});
    EXPECT_EQ(readFile(file), "83.25");
    // The same track shares one file and the later quit wins.
    vm->loadFile(library->file("f2"), false);
    vm->loadFile(library->file("f1"), false);
    fake()->reachTime(0.1 + 0.2);
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_EQ(PlaybackPositionStore::decode(readFile(file)), 0.1 + 0.2);
    const QString folder = MediaCacheManager::shared().subdirectory("PlaybackPositions");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
    // Without its folder the position is lost, and the line printed all the same.
    fake()->reachTime(5);
    QDir(folder).removeRecursively();
    takeLines();
    vm->savePlaybackPosition();
    EXPECT_EQ(takeLines("^Saved"), QStringList{"Saved playback position: 5.0 for f1.wav"});
    EXPECT_FALSE(QFile::exists(file));
}

TEST(PlaybackPositionStore, EncodesNumbersThatReadBackExactly) {
    for (double seconds : {83.25, 0.1 + 0.2, 1e-7, 12345678.875, 1e21})
        EXPECT_EQ(PlaybackPositionStore::decode(PlaybackPositionStore::encode(seconds)), seconds);
    EXPECT_TRUE(PlaybackPositionStore::encode(std::numeric_limits<double>::infinity()).isEmpty());
    for (const char* bad : {"\"83\"", "1],[2", ""})
        EXPECT_FALSE(PlaybackPositionStore::decode(bad)) << bad;
}

} // namespace
