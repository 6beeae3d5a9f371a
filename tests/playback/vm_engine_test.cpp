// The playback rules on the engine itself, playing to the null output.
#include "app/appnotifications.h"
#include "audio/audiooutput.h"
#include "system/mprisservice.h"
#include "system/sleepmanager.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>

using namespace testsupport;
using namespace vmtest;

namespace {

constexpr int rate = 8000;

class EnginePlayback : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        library = std::make_unique<TestLibrary>(3 * rate, rate); // three seconds each
        makeViewModel(true);
    }
    QStringList playerItems() const { return names(vm->player()->items()); }
    PlayerItem* currentItem() const { return vm->player() ? vm->player()->currentItem() : nullptr; }
    bool waitForItem(PlayerItem::Status status) {
        return waitUntil([&] { return currentItem() && currentItem()->status() == status; });
    }
};

TEST_F(EnginePlayback, GaplessAdvanceMovesTheIndexAndAppendsTheFollowingItemOnce) {
    writeWav(library->path("F/short.wav"), rate / 5, rate); // 0.2 s
    vm->setPlaybackQueue({library->file("f1"), library->file("f2"),
                          MediaItem::audioFile(library->path("F/short.wav")), library->file("g1"),
                          library->file("g2")});
    vm->setCurrentQueueIndex(2);
    QSignalSpy notified(&AppNotifications::shared(), &AppNotifications::playerTrackChanged);
    QSignalSpy moved(vm.get(), &MediaLibraryViewModel::currentQueueIndexChanged);

    QStringList lines = capturedLines([&] {
        vm->playItem(vm->playbackQueue()[2], 2, false);
        EXPECT_EQ(playerItems(), QStringList({"short", "g1"}));
        ASSERT_TRUE(waitUntil([&] { return vm->currentQueueIndex() == 3; }, 5000));
    });
    EXPECT_EQ(playerItems(), QStringList({"g1", "g2"}));
    EXPECT_EQ(notified.count(), 1);
    EXPECT_EQ(moved.count(), 2) << "the jump, then the one advance";
    EXPECT_TRUE(lines.contains("Gapless transition to: g1.wav"));
    EXPECT_TRUE(lines.contains("Enqueued subsequent track: g2.wav"));
    EXPECT_EQ(vm->selectedFileID(), library->file("g1").id());
    EXPECT_EQ(vm->player()->timeControlStatus(), QueuePlayer::TimeControlStatus::Playing);
}

// As fast as frames come, each track ends before the view model has queued
// the one after it: the queue still plays through, every frame of it.
TEST_F(EnginePlayback, AQueueOfVeryShortTracksPlaysThroughAtTheFastPace) {
    AudioOutput::shared().configure(QStringLiteral("null"), true, rate);
    const auto restore = qScopeGuard([] { AudioOutput::shared().configureFromEnvironment(); });
    constexpr int frames = rate / 50;
    QList<MediaItem> queue;
    for (int i = 0; i < 12; ++i) {
        const QString path = library->path(QStringLiteral("S/%1.wav").arg(i));
        writeWav(path, frames, rate);
        queue << MediaItem::audioFile(path);
    }
    vm->setPlaybackQueue(queue);
    const int64_t before = AudioOutput::shared().framesPlayed();
    const QStringList lines = capturedLines([&] {
        vm->playItem(queue[0], 0, false);
        ASSERT_TRUE(waitUntil([&] {
            return vm->currentQueueIndex() == queue.size() - 1 && vm->player()->rate() == 0;
        })) << "stalled at "
            << vm->currentQueueIndex();
        settle();
    });
    EXPECT_EQ(lines.filter("Gapless transition to: ").size(), queue.size() - 1);
    EXPECT_EQ(AudioOutput::shared().framesPlayed() - before, queue.size() * frames);
}

TEST_F(EnginePlayback, LastFileOfThePlayListGetsNoSecondItem) {
    vm->setSelectedFolder(library->folder("G"));
    const QStringList lines = capturedLines([&] { vm->loadFile(library->file("g3"), false); });
    EXPECT_EQ(playerItems(), QStringList{"g3"});
    EXPECT_TRUE(lines.filter("Enqueued next track").isEmpty());
    capturedLines([&] { vm->loadFile(library->file("g1"), false); });
    EXPECT_EQ(playerItems(), QStringList({"g1", "g2"}));
}

TEST_F(EnginePlayback, LoadWithoutAutoPlayIsReadyAndPaused) {
    capturedLines([&] {
        vm->loadFile(library->file("h1"), false);
        ASSERT_TRUE(waitForItem(PlayerItem::Status::ReadyToPlay));
        ASSERT_TRUE(waitUntil([&] { return vm->progress()->duration() > 0; }));
        settle();
    });
    EXPECT_EQ(vm->progress()->duration(), 3.0);
    EXPECT_EQ(vm->player()->rate(), 0.0f);
    EXPECT_EQ(vm->progress()->currentTime(), 0.0);
}

TEST_F(EnginePlayback, SeekLandsOnTheTimeAndHoldsTheShownTimeUntilItCompletes) {
    capturedLines([&] {
        vm->loadFile(library->file("f1"), true);
        ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.1; }));
    });
    int writesWhileSeeking = 0;
    QObject::connect(vm->progress(), &PlayerProgress::currentTimeChanged, [&] {
        if (vm->progress()->isSeeking())
            ++writesWhileSeeking;
    });
    const double before = vm->progress()->currentTime();
    vm->seek(2.25);
    EXPECT_TRUE(vm->progress()->isSeeking());
    EXPECT_EQ(vm->progress()->currentTime(), before);
    ASSERT_TRUE(waitUntil([&] { return !vm->progress()->isSeeking(); }));
    EXPECT_EQ(writesWhileSeeking, 0);
    EXPECT_GE(vm->player()->currentTime(), 2.25);
    EXPECT_LT(vm->player()->currentTime(), 2.5);
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() >= 2.25; }));
}

TEST_F(EnginePlayback, PausedSeekLandsOnTheRequestedSample) {
    capturedLines([&] {
        vm->loadFile(library->file("f1"), false);
        ASSERT_TRUE(waitForItem(PlayerItem::Status::ReadyToPlay));
    });
    vm->seek(1.5);
    ASSERT_TRUE(waitUntil([&] { return !vm->progress()->isSeeking(); }));
    EXPECT_EQ(vm->player()->currentTime(), 1.5);
}

TEST_F(EnginePlayback, QuitMidTrackSavesThePlayersTime) {
    capturedLines([&] {
        vm->loadFile(library->file("f2"), true);
        ASSERT_TRUE(waitUntil([&] { return vm->player()->currentTime() > 0.2; }));
    });
    const QStringList lines = capturedLines([&] { vm->savePlaybackPosition(); });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("Saved playback position: "));
    EXPECT_TRUE(lines[0].endsWith(" for f2.wav"));
}

struct BadFile {
    const char* name;
    QByteArray bytes;
};

class EngineBadFiles : public EnginePlayback, public ::testing::WithParamInterface<BadFile> {};

TEST_P(EngineBadFiles, ItemFailsBufferingShowsAndTheNextLoadWorks) {
    const BadFile bad = GetParam();
    const QString path = library->path(QString("F/") + bad.name);
    writeFile(path, bad.bytes);
    capturedLines([&] {
        vm->loadFile(MediaItem::audioFile(path), true);
        ASSERT_TRUE(waitForItem(PlayerItem::Status::Failed));
        ASSERT_TRUE(waitUntil([&] { return vm->isBuffering(); }));
    });
    EXPECT_FALSE(currentItem()->error().isEmpty());

    capturedLines([&] {
        vm->loadFile(library->file("g1"), true);
        ASSERT_TRUE(waitForItem(PlayerItem::Status::ReadyToPlay));
        ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.05; }));
    });
    EXPECT_FALSE(vm->isBuffering());
}

QByteArray truncatedWav() {
    QByteArray header = QByteArray("RIFF") + QByteArray(4, '\xff') + "WAVEfmt ";
    header += QByteArray::fromHex("10000000010001001f0000003e00000200100064617461ffffff00");
    return header;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EngineBadFiles,
    ::testing::Values(BadFile{"garbage.flac", QByteArray(20000, '\x3c')},
                      BadFile{"empty.mp3", QByteArray()},
                      BadFile{"notes.m4a", QByteArray("just some text, not audio at all\n")},
                      BadFile{"header-only.wav", truncatedWav()}),
    [](const auto& info) {
        return QString(info.param.name).section('.', 0, 0).remove('-').toStdString();
    });

// Playing a folder whose second file cannot be read: the player skips it
// and goes on with the third, or stops (allowing sleep) when nothing follows.
struct SkipCase {
    const char* name;
    std::optional<QByteArray> second; // none: the file is missing
    bool hasThird;
};

class EngineSkipsUnreadable : public EnginePlayback,
                              public ::testing::WithParamInterface<SkipCase> {
protected:
    void TearDown() override {
        EnginePlayback::TearDown();
        SleepManager::shared().allowSleep();
        SleepManager::shared().setActivityStarter({});
    }
};

TEST_P(EngineSkipsUnreadable, FailedItemIsSkipped) {
    const SkipCase row = GetParam();
    int held = 0;
    SleepManager::shared().setActivityStarter([&held](SleepMode) {
        ++held;
        return [&held] { --held; };
    });
    const AudioFixture shortTrack{0.3, rate};
    ASSERT_TRUE(makeAudioFile(library->path("Z/01.flac"), shortTrack));
    if (row.second)
        writeFile(library->path("Z/02.flac"), *row.second);
    QList<MediaItem> files;
    for (const char* name : {"01", "02", "03"})
        files << MediaItem::audioFile(library->path(QString("Z/%1.flac").arg(name)));
    if (row.hasThird)
        ASSERT_TRUE(makeAudioFile(files[2].path(), shortTrack));
    else
        files.removeLast();

    const QStringList lines = capturedLines([&] {
        vm->playFolder(MediaItem::folder(library->path("Z"), files));
        if (row.hasThird) {
            ASSERT_TRUE(waitUntil([&] {
                return vm->currentQueueIndex() == 2 && currentItem() &&
                       vm->player()->timeControlStatus() == QueuePlayer::TimeControlStatus::Playing;
            }));
        } else {
            ASSERT_TRUE(waitUntil(
                [&] { return vm->currentQueueIndex() == 1 && vm->player()->rate() == 0; }));
        }
        settle();
    });
    const auto& record = vm->nowPlayingService()->nowPlaying();
    ASSERT_TRUE(record.has_value());
    if (row.hasThird) {
        // The failure line of the skipped file (its duration was asked for first).
        EXPECT_EQ(lines.filter("Failed to load duration: ").size(), 1)
            << lines.join('\n').toStdString();
        EXPECT_EQ(vm->selectedFileID(), files[2].id());
        EXPECT_EQ(record->url, files[2].url());
        EXPECT_EQ(vm->nowPlayingService()->state(), NowPlayingState::Playing);
        EXPECT_EQ(held, 1);
    } else {
        EXPECT_EQ(record->url, files[1].url());
        EXPECT_EQ(vm->nowPlayingService()->state(), NowPlayingState::Paused);
        EXPECT_EQ(held, 0) << "sleep stays prevented while nothing can play";
    }
}

QByteArray randomBytes(int count) {
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator(13);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineSkipsUnreadable,
                         ::testing::Values(SkipCase{"random", randomBytes(20000), true},
                                           SkipCase{"empty", QByteArray(), true},
                                           SkipCase{"missing", std::nullopt, true},
                                           SkipCase{"nothingAfter", randomBytes(20000), false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnginePlayback, MissingFileFailsAndCountsAsDownloading) {
    capturedLines([&] {
        vm->loadFile(MediaItem::audioFile(library->path("F/never-there.flac")), true);
        ASSERT_TRUE(waitForItem(PlayerItem::Status::Failed));
        ASSERT_TRUE(waitUntil([&] { return vm->isBuffering(); }));
    });
    EXPECT_TRUE(vm->isDownloading());
}

TEST_F(EnginePlayback, FileDeletedWhilePlayingNeitherCrashesNorHangs) {
    writeWav(library->path("X/doomed.wav"), rate / 2, rate);
    const MediaItem doomed = MediaItem::audioFile(library->path("X/doomed.wav"));
    vm->setPlaybackQueue({doomed, library->file("x2")});
    vm->setCurrentQueueIndex(0);
    capturedLines([&] {
        vm->loadFile(doomed, true);
        ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.05; }));
        QFile::remove(doomed.path());
        // The poll notices the file is gone; playback carries on with the next entry.
        ASSERT_TRUE(waitUntil([&] { return vm->isDownloading(); }, 3000));
        EXPECT_TRUE(vm->isBuffering());
        ASSERT_TRUE(waitUntil([&] { return vm->currentQueueIndex() == 1; }, 3000));
        vm->loadFile(library->file("x2"), true);
        ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.05; }));
    });
    EXPECT_FALSE(vm->isDownloading());
}

} // namespace
