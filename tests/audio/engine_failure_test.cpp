// Files that cannot be played fail their item without crashing or hanging
// the player, and the next player plays normally.

#include "engine_audio.h"
#include "playback/durationloader.h"
#include "playback/firstchannelreader.h"
#include "support/testsupport.h"
#include "support/unwrittenfifo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

using namespace enginetest;
using testsupport::waitUntil;

namespace {

constexpr int Rate = 44100;
constexpr int Frames = 30000;

class FailureTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        good = writePcmWav(path(QStringLiteral("good.wav")), sweep(Frames, Rate), Rate);
    }

    // The item fails, a playing player waits, and it goes away promptly.
    void expectFails(const QString& file) {
        SCOPED_TRACE(file.toStdString());
        QElapsedTimer timer;
        timer.start();
        {
            std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({file}));
            PlayerItem* item = player->currentItem();
            player->play();
            ASSERT_TRUE(waitUntil([&] { return item->status() == PlayerItem::Status::Failed; }));
            EXPECT_FALSE(item->error().isEmpty());
            EXPECT_TRUE(item->isPlaybackBufferEmpty());
            EXPECT_FALSE(item->isPlaybackLikelyToKeepUp());
            waitUntil([] { return false; }, 50);
            EXPECT_EQ(player->currentItem(), item);
            EXPECT_EQ(player->timeControlStatus(),
                      QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
        }
        EXPECT_LT(timer.elapsed(), 3000);
        expectNextLoadPlays();
    }

    void expectNextLoadPlays() {
        const FloatWav output = render({path(QStringLiteral("good.wav"))});
        EXPECT_TRUE(output.samples == good);
    }

    Samples good;
};

TEST_F(FailureTest, CorruptFileFails) {
    QByteArray noise(200000, '\0');
    QRandomGenerator generator(7);
    for (char& byte : noise)
        byte = char(generator.bounded(256));
    for (const char* name : {"noise.flac", "noise.mp3", "noise.m4a", "noise.wav", "noise.aac"}) {
        testsupport::writeFile(path(QString::fromLatin1(name)), noise);
        expectFails(path(QString::fromLatin1(name)));
    }
}

TEST_F(FailureTest, ZeroLengthFileFails) {
    testsupport::writeFile(path(QStringLiteral("empty.mp3")), QByteArray());
    expectFails(path(QStringLiteral("empty.mp3")));
}

TEST_F(FailureTest, MissingFileFails) {
    expectFails(path(QStringLiteral("missing.flac")));
}

TEST_F(FailureTest, TextWithAnAudioExtensionFails) {
    testsupport::writeFile(path(QStringLiteral("notes.m4a")),
                           QByteArray("not audio at all\n").repeated(400));
    expectFails(path(QStringLiteral("notes.m4a")));
}

TEST_F(FailureTest, M4aCutBeforeItsIndexFails) {
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("good.wav")), path(QStringLiteral("whole.m4a"))));
    const QByteArray whole = testsupport::readFile(path(QStringLiteral("whole.m4a")));
    testsupport::writeFile(path(QStringLiteral("cut.m4a")), whole.left(whole.size() / 2));
    expectFails(path(QStringLiteral("cut.m4a")));
}

TEST_F(FailureTest, TruncatedFlacPlaysWhatItHoldsAndEnds) {
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("good.wav")), path(QStringLiteral("whole.flac"))));
    const QByteArray whole = testsupport::readFile(path(QStringLiteral("whole.flac")));
    testsupport::writeFile(path(QStringLiteral("cut.flac")), whole.left(whole.size() / 2));
    const FloatWav output = render({path(QStringLiteral("cut.flac"))});
    ASSERT_TRUE(output.valid);
    EXPECT_GT(frameCount(output.samples), 0);
    EXPECT_LT(frameCount(output.samples), Frames);
    // What it plays is the start of the track.
    EXPECT_TRUE(output.samples == slice(good, 0, frameCount(output.samples)));
    expectNextLoadPlays();
}

TEST_F(FailureTest, AudioUnderTheWrongExtensionPlays) {
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("good.wav")), path(QStringLiteral("real.flac"))));
    QFile::rename(path(QStringLiteral("real.flac")), path(QStringLiteral("named.mp3")));
    const FloatWav output = render({path(QStringLiteral("named.mp3"))});
    EXPECT_TRUE(output.samples == good);
}

TEST_F(FailureTest, AFailedNextItemStopsTheQueueThereWithoutAHang) {
    testsupport::writeFile(path(QStringLiteral("broken.flac")), QByteArray(3000, 'x'));
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(
        itemsFor({path(QStringLiteral("good.wav")), path(QStringLiteral("broken.flac"))}));
    PlayerItem* broken = player->items()[1];
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentItem() == broken; }));
    EXPECT_EQ(broken->status(), PlayerItem::Status::Failed);
    EXPECT_EQ(player->timeControlStatus(),
              QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
    // Removing it lets the queue end.
    player->remove(broken);
    EXPECT_EQ(player->currentItem(), nullptr);
    player.reset();
    EXPECT_TRUE(finishOutput().samples == good);
}

TEST_F(FailureTest, FilesDeletedWhilePlayingNeitherCrashNorHang) {
    useWavOutput(0, false);
    for (const char* name : {"one.wav", "two.wav"})
        QFile::copy(path(QStringLiteral("good.wav")), path(QString::fromLatin1(name)));
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(
        itemsFor({path(QStringLiteral("one.wav")), path(QStringLiteral("two.wav"))}));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.05; }));
    QFile::remove(path(QStringLiteral("one.wav")));
    QFile::remove(path(QStringLiteral("two.wav")));
    // Either the open files play on or the item fails; the player ends or waits.
    ASSERT_TRUE(waitUntil(
        [&] {
            return !player->currentItem() ||
                   player->currentItem()->status() == PlayerItem::Status::Failed;
        },
        10000));
    player.reset();
    expectNextLoadPlays();
}

TEST_F(FailureTest, AFileDeletedBeforeItsTurnFails) {
    QFile::copy(path(QStringLiteral("good.wav")), path(QStringLiteral("later.wav")));
    auto* later = new PlayerItem(QUrl::fromLocalFile(path(QStringLiteral("later.wav"))));
    QFile::remove(path(QStringLiteral("later.wav")));
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer({});
    player->insert(later, nullptr);
    ASSERT_TRUE(waitUntil([&] { return later->status() == PlayerItem::Status::Failed; }));
    EXPECT_EQ(player->currentItem(), later);
}

// Nobody writes to the FIFO: opening it would block the decoder thread, and
// the player's teardown with it, for good.
TEST_F(FailureTest, AFifoFailsAtOnceForEveryReader) {
    testsupport::UnwrittenFifo fifo(path(QStringLiteral("pipe.flac")));
    ASSERT_TRUE(fifo.created());
    expectFails(path(QStringLiteral("pipe.flac")));
    EXPECT_EQ(loadAssetDuration(QUrl::fromLocalFile(path(QStringLiteral("pipe.flac")))).error,
              QStringLiteral("not a regular file"));
    FirstChannelReader reader;
    QString error;
    EXPECT_FALSE(reader.open(path(QStringLiteral("pipe.flac")), &error));
    EXPECT_FALSE(fifo.releasedAReader());
}

// The cancel flag reaches into FFmpeg's reading, so a reader on a pool
// thread can be ended whatever it waits for.
TEST_F(FailureTest, CancellingEndsAReadMidway) {
    // Longer than FFmpeg buffers while it probes the file.
    constexpr int LongFrames = Rate * 60;
    const QString file = path(QStringLiteral("long.wav"));
    writePcmWav(file, sine(LongFrames, Rate), Rate);
    std::atomic<bool> cancel{false};
    FirstChannelReader reader;
    QString error;
    ASSERT_TRUE(reader.open(file, &error, &cancel));
    int64_t delivered = 0;
    EXPECT_FALSE(reader.readAll(
        [&](const float*, int count) {
            delivered += count;
            cancel = true;
        },
        &error));
    EXPECT_LT(delivered, LongFrames / 2);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(loadAssetDuration(QUrl::fromLocalFile(file), &cancel).ok());
    cancel = false;
    EXPECT_TRUE(loadAssetDuration(QUrl::fromLocalFile(file), &cancel).ok());
}

TEST_F(FailureTest, NonLocalUrlFails) {
    auto* remote = new PlayerItem(QUrl(QStringLiteral("https://example.invalid/a.mp3")));
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer({remote});
    ASSERT_TRUE(waitUntil([&] { return remote->status() == PlayerItem::Status::Failed; }));
}

} // namespace
