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
        good = writePcmWav(path("good.wav"), sine(Frames, Rate), Rate);
    }
    QByteArray halfOf(const char* encoded) {
        EXPECT_TRUE(ffmpeg(path("good.wav"), path(encoded)));
        const QByteArray whole = testsupport::readFile(path(encoded));
        return whole.left(whole.size() / 2);
    }
    void expectNextLoadPlays() { expectSamples(render({path("good.wav")}), good); }

    Samples good;
};

// A header that promises more than the file holds.
QByteArray headerOnlyWav() {
    return QByteArray("RIFF") + QByteArray(4, '\xff') + "WAVEfmt " +
           QByteArray::fromHex("10000000010001001f0000003e00000200100064617461ffffff00");
}

TEST_F(FailureTest, AFileThatCannotPlayFailsItsItemPromptly) {
    QByteArray noise(200000, '\0');
    QRandomGenerator generator(7);
    for (char& byte : noise)
        byte = char(generator.bounded(256));
    std::vector<std::pair<QString, std::optional<QByteArray>>> files = {
        {"empty.mp3", QByteArray()},
        {"missing.flac", std::nullopt},
        {"notes.m4a", QByteArray("not audio at all\n").repeated(400)},
        {"cut.m4a", halfOf("whole.m4a")},
        {"header-only.wav", headerOnlyWav()},
        {"pipe.flac", std::nullopt}, // a FIFO nobody writes to
    };
    for (const char* extension : {"flac", "mp3", "m4a", "wav", "aac"})
        files.push_back({QString("noise.") + extension, noise});
    testsupport::UnwrittenFifo fifo(path("pipe.flac"));
    ASSERT_TRUE(fifo.created());
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        if (bytes)
            testsupport::writeFile(path(name), *bytes);
        QElapsedTimer timer;
        timer.start();
        {
            std::unique_ptr<QueuePlayer> queue = player({path(name)});
            PlayerItem* item = queue->currentItem();
            queue->play();
            ASSERT_TRUE(waitUntil([&] { return item->status() == PlayerItem::Status::Failed; }));
            EXPECT_FALSE(item->error().isEmpty());
            EXPECT_TRUE(item->isPlaybackBufferEmpty());
            EXPECT_FALSE(item->isPlaybackLikelyToKeepUp());
            EXPECT_EQ(queue->currentItem(), item);
            EXPECT_EQ(queue->timeControlStatus(),
                      QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
        }
        EXPECT_LT(timer.elapsed(), 3000);
        expectNextLoadPlays();
    }
    EXPECT_EQ(loadAssetDuration(QUrl::fromLocalFile(path("pipe.flac"))).error,
              "not a regular file");
    FirstChannelReader reader;
    QString error;
    EXPECT_FALSE(reader.open(path("pipe.flac"), &error));
    EXPECT_FALSE(fifo.releasedAReader());
}

TEST_F(FailureTest, ATruncatedFlacPlaysWhatItHoldsAndEnds) {
    testsupport::writeFile(path("cut.flac"), halfOf("whole.flac"));
    const Samples output = render({path("cut.flac")});
    EXPECT_GT(frameCount(output), 0);
    EXPECT_LT(frameCount(output), Frames);
    // What it plays is the start of the track.
    expectSamples(output, slice(good, 0, frameCount(output)));
    expectNextLoadPlays();
}

TEST_F(FailureTest, AudioUnderTheWrongExtensionPlays) {
    ASSERT_TRUE(ffmpeg(path("good.wav"), path("real.flac")));
    QFile::rename(path("real.flac"), path("named.mp3"));
    expectSamples(render({path("named.mp3")}), good);
}

TEST_F(FailureTest, AFailedNextItemStopsTheQueueThereWithoutAHang) {
    testsupport::writeFile(path("broken.flac"), QByteArray(3000, 'x'));
    std::unique_ptr<QueuePlayer> queue = player({path("good.wav"), path("broken.flac")});
    PlayerItem* broken = queue->items()[1];
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentItem() == broken; }));
    EXPECT_EQ(broken->status(), PlayerItem::Status::Failed);
    EXPECT_EQ(queue->timeControlStatus(),
              QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
    // Removing it lets the queue end.
    queue->remove(broken);
    EXPECT_EQ(queue->currentItem(), nullptr);
    queue.reset();
    expectSamples(finishOutput(), good);
}

TEST_F(FailureTest, ANonLocalItemInsertedIntoAnEmptyQueueFailsThere) {
    auto* remote = new PlayerItem(QUrl("https://example.invalid/a.mp3"));
    std::unique_ptr<QueuePlayer> queue = makeQueuePlayer({});
    queue->insert(remote, nullptr);
    ASSERT_TRUE(waitUntil([&] { return remote->status() == PlayerItem::Status::Failed; }));
    EXPECT_EQ(queue->currentItem(), remote);
}

// The cancel flag reaches into FFmpeg's reading, so a reader on a pool
// thread can be ended whatever it waits for.
TEST_F(FailureTest, CancellingEndsAReadMidway) {
    // Longer than FFmpeg buffers while it probes the file.
    constexpr int LongFrames = Rate * 60;
    const QString file = path("long.wav");
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

class FailureRealtime : public FailureTest {};

TEST_F(FailureRealtime, FilesDeletedWhilePlayingNeitherCrashNorHang) {
    useWavOutput(0, true);
    for (const char* name : {"one.wav", "two.wav"})
        QFile::copy(path("good.wav"), path(name));
    std::unique_ptr<QueuePlayer> queue = player({path("one.wav"), path("two.wav")});
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentTime() > 0.05; }));
    QFile::remove(path("one.wav"));
    QFile::remove(path("two.wav"));
    // Either the open files play on or the item fails; the player ends or waits.
    ASSERT_TRUE(waitUntil(
        [&] {
            return !queue->currentItem() ||
                   queue->currentItem()->status() == PlayerItem::Status::Failed;
        },
        10000));
    queue.reset();
    expectNextLoadPlays();
}

} // namespace
