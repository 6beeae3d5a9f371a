// Seeking lands on the requested sample and completes exactly once.
#include "engine_audio.h"
#include "support/testsupport.h"

using namespace enginetest;
using testsupport::waitUntil;

namespace {

constexpr int Rate = 44100;
constexpr int Frames = 60000;

class SeekTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        original = writePcmWav(path("track.wav"), sine(Frames, Rate), Rate);
        ASSERT_TRUE(ffmpeg(path("track.wav"), path("track.flac")));
    }
    // Seeks and waits for the completion; returns the results it gave.
    static QList<bool> seek(QueuePlayer& queue, double seconds) {
        QList<bool> results;
        queue.seek(seconds, [&](bool done) { results << done; });
        EXPECT_TRUE(waitUntil([&] { return !results.isEmpty(); }));
        return results;
    }
    Samples original;
};

TEST_F(SeekTest, APausedSeekLandsOnTheRequestedSample) {
    ASSERT_TRUE(ffmpeg(path("track.wav"), path("track.mp3")));
    const Samples lossy = ffmpegDecode(path("track.mp3"));
    const std::pair<const char*, int64_t> rows[] = {{"track.flac", 12345}, {"track.flac", 4096},
                                                    {"track.flac", 1},     {"track.flac", 0},
                                                    {"track.wav", 33333},  {"track.mp3", 23456}};
    for (const auto& [file, target] : rows) {
        SCOPED_TRACE(::testing::Message() << file << " at " << target);
        const bool mp3 = QString(file).endsWith("mp3");
        useWavOutput();
        {
            std::unique_ptr<QueuePlayer> queue = player({path(file)});
            ASSERT_TRUE(waitUntil(
                [&] { return queue->currentItem()->status() == PlayerItem::Status::ReadyToPlay; }));
            EXPECT_EQ(seek(*queue, double(target) / Rate), QList<bool>{true});
            EXPECT_NEAR(queue->currentTime(), double(target) / Rate, 1.0 / Rate);
            queue->play();
            ASSERT_TRUE(waitForEnd(*queue));
        }
        expectSamples(finishOutput(), slice(mp3 ? lossy : original, target, Frames - target),
                      mp3 ? 1e-4f : 0);
    }
}

TEST_F(SeekTest, ANewerSeekInterruptsTheOlderOneWhichCompletesOnce) {
    std::unique_ptr<QueuePlayer> queue = player({path("track.flac")});
    QList<bool> first, second;
    queue->seek(0.5, [&](bool done) { first << done; });
    queue->seek(0.25, [&](bool done) { second << done; });
    EXPECT_TRUE(first.isEmpty()); // never inside the call that overtook it
    ASSERT_TRUE(waitUntil([&] { return !first.isEmpty() && !second.isEmpty(); }));
    EXPECT_NEAR(queue->currentTime(), 0.25, 1.0 / Rate);
    seek(*queue, 0.5); // whatever the two would still say has come by now
    EXPECT_EQ(first, QList<bool>{false});
    EXPECT_EQ(second, QList<bool>{true});
}

// With nothing to play (no item, a broken one) a seek is interrupted; past
// the end it completes and ends the item.
TEST_F(SeekTest, ASeekWithNothingToPlayIsInterruptedAndPastTheEndEndsTheItem) {
    testsupport::writeFile(path("broken.flac"), QByteArray(5000, 'x'));
    EXPECT_EQ(seek(*makeQueuePlayer({}), 100), QList<bool>{false});
    EXPECT_EQ(seek(*player({path("broken.flac")}), 100), QList<bool>{false});
    std::unique_ptr<QueuePlayer> queue = player({path("track.flac")});
    EXPECT_EQ(seek(*queue, 100), QList<bool>{true});
    queue->play();
    EXPECT_TRUE(waitForEnd(*queue));
    EXPECT_EQ(finishOutput().size(), 0u);
}

class SeekRealtime : public SeekTest {};

// The time moves at once and the tail of the output is the track from 1 s on.
TEST_F(SeekRealtime, ASeekWhilePlayingMovesTheTimeAndTheSound) {
    useWavOutput(0, true); // so the seek lands mid-track
    std::unique_ptr<QueuePlayer> queue = player({path("track.flac")});
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentTime() > 0.1; }));
    EXPECT_EQ(seek(*queue, 1.0), QList<bool>{true});
    EXPECT_TRUE(queue->currentTime() >= 1.0 && queue->currentTime() < 1.1) << queue->currentTime();
    ASSERT_TRUE(waitForEnd(*queue));
    const Samples output = finishOutput(), tail = slice(original, Rate, Frames - Rate);
    ASSERT_GE(output.size(), tail.size());
    expectSamples(Samples(output.end() - tail.size(), output.end()), tail);
}

} // namespace
