// The player moving on to its next item by itself, and the download poll.
#include "app/appnotifications.h"
#include "playback/filepresence.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

class TrackChange : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        makeViewModel();
    }
};

// name | steps of PlaybackFixture::run | index | selected | the player's items |
// track changes told to the app | whether the player was started to go on
class FollowThePlayer : public TrackChange, public ::testing::WithParamInterface<const char*> {
protected:
    QString column(int i) const { return QString(GetParam()).section('|', i, i).trimmed(); }
};

TEST_P(FollowThePlayer, MovesTheQueueAndTheSelection) {
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    run(column(1));
    settle();
    EXPECT_EQ(vm->currentQueueIndex(), column(2).toInt());
    EXPECT_EQ(vm->selectedFile()->name(), column(3) + ".wav");
    EXPECT_EQ(playerItems(), column(4).split(' ', Qt::SkipEmptyParts));
    EXPECT_EQ(notified.count(), column(5).toInt());
    EXPECT_EQ(fake()->rate() > 0, column(6) == "playing");
    // What a change prints, selects, stores: the change to g1 in the first row.
    const QStringList lines = takeLines("^(Gapless|Enqueued subsequent)");
    if (column(0) == "ToTheNextEntry") {
        EXPECT_EQ(lines, QStringList({"Gapless transition to: g1.wav",
                                      "Enqueued subsequent track: g2.wav"}));
        EXPECT_EQ(vm->selectedFolderID(), library->folder("G").id());
        EXPECT_EQ(QSettings().value("LastSelectedFilePath").toString(), library->path("G/g1.wav"));
        EXPECT_EQ(vm->currentTitle(), "g1.wav");
        expectQueueStored();
    }
    if (playerItems().size() < 2)
        EXPECT_TRUE(lines.filter("Enqueued").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FollowThePlayer,
    ::testing::Values(
        "ToTheNextEntry | queue f1 f2 f3 g1 g2 2; load f3; end | 3 | g1 | g1 g2 | 1",
        "ToTheLastEntry | queue f1 f2 f3 1; load f2; end | 2 | f3 | f3 | 1",
        "ADuplicateToItsNextPosition | queue f1 f2 f1 f2 f3 2; load f1; end | 3 | f2 | f2 f3 | 1",
        "WithAnEmptyQueueTheIndexStays | select F; load f1; end | 0 | f2 | f2 | 1",
        "PastTheLastItemTheSelectionStays | queue f1 f2 1; load f2; end | 1 | f2 | | 0",
        // A track shorter than a turn of the GUI thread has ended before its
        // change is handled: the player, which ran out, goes on with the next.
        "TwoEndsInOneTurn | queue f1 f2 f3 g1 0; load f1; end; end | 2 | f3 | f3 g1 | 2 | playing",
        "ToAnItemOutsideThePlayList | queue f1 f2 0; load f1; enqueue h2; end | 0 | h2 | h2 f2 | 1",
        "IntoAFullPlayer | queue f1 f2 f3 g1 0; load f1; refuse; end | 1 | f2 | f2 | 1",
        "ADiscardedPlayersEndIsIgnored | queue f1 f2 f3 0; load f1; end; load f3 | 0 | f3 | f3 | 0",
        // A failed current item of a playing player is skipped; with nothing
        // after it the player stops.
        "AFailedItemIsSkipped | queue f1 f2 f3 0; load f1; start; fail | 1 | f2 | f2 f3 | 0 |"
        " playing",
        "AFailedLastItemStops | queue f1 f2 f3 2; load f3; start; fail | 2 | f3 | f3 | 0"),
    [](const auto& info) {
        return QString(info.param).section('|', 0, 0).trimmed().toStdString();
    });

// A missing file or a sparse placeholder is downloading until its data
// arrives; the poll goes on, so a file removed later is noticed.
TEST_F(TrackChange, DownloadingFollowsTheFilesPresence) {
    vm->setIsDownloading(true);
    vm->loadFile(library->file("g1"), false);
    EXPECT_FALSE(vm->isDownloading());
    vm->loadFile(MediaItem::audioFile(library->path("F/gone.wav")), false);
    EXPECT_TRUE(vm->isDownloading());
    const QString path = library->path("F/cloud.wav");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(5 * 1024 * 1024)); // sparse
    file.close();
    vm->setCurrentArtwork(QImage(4, 4, QImage::Format_RGB32));
    vm->loadFile(MediaItem::audioFile(path), false);
    EXPECT_TRUE(vm->isDownloading() && vm->currentArtwork().isNull());
    fake()->currentItem()->setPlaybackBufferEmpty(false); // whatever the item reports next
    settle();
    EXPECT_TRUE(vm->isBuffering());
    writeWav(path, 44100 * 30); // the data arrives: 2.6 MB allocated
    EXPECT_TRUE(waitUntil([&] { return !vm->isDownloading(); }, 2500));
    QFile::remove(path);
    EXPECT_TRUE(waitUntil([&] { return vm->isDownloading(); }, 2500));
}

// FUSE filesystems report no blocks and btrfs/ZFS count compressed blocks: a
// file there whose start reads plays. Columns: allocated, size, start, result.
TEST(FilePresenceTest, SparseLookingFileIsAPlaceholderOnlyWhenItsStartIsUnreadable) {
    constexpr qint64 MB5 = 5 * 1024 * 1024;
    const QByteArray flac = QByteArray("fLaC") + QByteArray(60, '\x22'), hole(4096, '\0');
    using enum FilePresence;
    const std::tuple<qint64, qint64, std::optional<QByteArray>, FilePresence> rows[] = {
        {0, MB5, flac, Present},
        {2048, MB5, flac, Present},
        {0, MB5, hole, Placeholder},
        {0, MB5, std::nullopt, Placeholder},
        {0, MB5, QByteArray(), Placeholder},
        {8192, MB5, std::nullopt, Present},
        {0, 1000, std::nullopt, Present}, // a small file
    };
    for (const auto& [allocated, size, head, expected] : rows)
        EXPECT_EQ(placeholderRule(allocated, size, head), expected) << allocated << " " << size;
}

} // namespace
