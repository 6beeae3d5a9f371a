// Files that cannot be played fail their item without crashing or hanging
// the player; damaged files play what they hold; the next player plays.
#include "engine_audio.h"
#include "playback/durationloader.h"
#include "playback/firstchannelreader.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "support/unwrittenfifo.h"

#include <QElapsedTimer>
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
    QByteArray encoded(const char* name) {
        EXPECT_TRUE(ffmpeg(path("good.wav"), path(name)));
        return testsupport::readFile(path(name));
    }
    Samples good;
};

TEST_F(FailureTest, AFileThatCannotPlayFailsItsItemPromptly) {
    QRandomGenerator generator(7);
    QByteArray noise(200000, '\0');
    for (char& byte : noise)
        byte = char(generator.bounded(256));
    const QByteArray m4a = encoded("whole.m4a"), flac = encoded("whole.flac");
    const QByteArray headerOnly = // promises more than the file holds
        "RIFF\xff\xff\xff\xffWAVEfmt " +
        QByteArray::fromHex("10000000010001001f0000003e00000200100064617461ffffff00");
    std::vector<std::pair<QString, std::optional<QByteArray>>> files = {
        {"empty.mp3", QByteArray()},
        {"missing.flac", std::nullopt},
        {"notes.m4a", QByteArray("not audio at all\n").repeated(400)},
        {"cut.m4a", m4a.left(m4a.size() / 2)},
        {"cut-in-header.flac", flac.left(20)},
        {"header-then-noise.flac", flac.left(12) + noise.left(8000)},
        {"header-only.wav", headerOnly},
        {"image.mp3", testsupport::pngBytes(Qt::blue)},
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
            EXPECT_TRUE(!item->error().isEmpty() && item->isPlaybackBufferEmpty() &&
                        !item->isPlaybackLikelyToKeepUp() && queue->currentItem() == item);
            EXPECT_EQ(queue->timeControlStatus(),
                      QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
        }
        EXPECT_LT(timer.elapsed(), 3000);
        expectSamples(render({path("good.wav")}), good); // the next player plays
    }
    EXPECT_EQ(loadAssetDuration(QUrl::fromLocalFile(path("pipe.flac"))).error,
              "not a regular file");
    QString error;
    EXPECT_FALSE(FirstChannelReader().open(path("pipe.flac"), &error) || fifo.releasedAReader());
}

TEST_F(FailureTest, ATruncatedFileSoundsAsFarAsItGoes) {
    const QByteArray flac = encoded("whole.flac");
    testsupport::writeFile(path("cut.flac"), flac.left(flac.size() / 2));
    const Samples output = render({path("cut.flac")});
    EXPECT_TRUE(frameCount(output) > 0 && frameCount(output) < Frames);
    expectSamples(output, slice(good, 0, frameCount(output)));
}

// A failed next item (or a remote one in an empty queue) stops the queue
// there without a hang; removing it lets the queue end.
TEST_F(FailureTest, AFailedNextItemStopsTheQueueThere) {
    testsupport::writeFile(path("broken.flac"), QByteArray(3000, 'x'));
    std::unique_ptr<QueuePlayer> queue = player({path("good.wav"), path("broken.flac")});
    PlayerItem* broken = queue->items()[1];
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentItem() == broken; }));
    EXPECT_EQ(broken->status(), PlayerItem::Status::Failed);
    EXPECT_EQ(queue->timeControlStatus(),
              QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
    queue->remove(broken);
    EXPECT_EQ(queue->currentItem(), nullptr);
    auto* remote = new PlayerItem(QUrl("https://example.invalid/a.mp3"));
    queue->insert(remote, nullptr);
    ASSERT_TRUE(waitUntil([&] { return remote->status() == PlayerItem::Status::Failed; }));
    EXPECT_EQ(queue->currentItem(), remote);
    queue.reset();
    expectSamples(finishOutput(), good);
}

// The cancel flag reaches into FFmpeg's reading, whatever a reader waits for.
TEST_F(FailureTest, CancellingEndsAReadMidway) {
    constexpr int LongFrames = Rate * 60; // more than FFmpeg buffers while it probes
    const QString file = path("long.wav");
    writePcmWav(file, sine(LongFrames, Rate), Rate);
    std::atomic<bool> cancel{false};
    FirstChannelReader reader;
    QString error;
    ASSERT_TRUE(reader.open(file, &error, &cancel));
    int64_t delivered = 0;
    EXPECT_FALSE(reader.readAll([&](const float*, int count) { delivered += count, cancel = true; },
                                &error));
    EXPECT_TRUE(delivered < LongFrames / 2 && !error.isEmpty());
    EXPECT_FALSE(loadAssetDuration(QUrl::fromLocalFile(file), &cancel).ok());
    cancel = false;
    EXPECT_TRUE(loadAssetDuration(QUrl::fromLocalFile(file), &cancel).ok());
}

} // namespace
