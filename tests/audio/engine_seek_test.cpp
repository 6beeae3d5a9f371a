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
        original = writePcmWav(path(QStringLiteral("track.wav")), sweep(Frames, Rate), Rate);
        ASSERT_TRUE(ffmpeg(path(QStringLiteral("track.wav")), path(QStringLiteral("track.flac"))));
    }

    // Seeks while paused, then plays to the end; returns what was played.
    FloatWav playFrom(const QString& file, double seconds, bool* finished) {
        useWavOutput();
        std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({file}));
        EXPECT_TRUE(waitUntil(
            [&] { return player->currentItem()->status() == PlayerItem::Status::ReadyToPlay; }));
        int completions = 0;
        player->seek(seconds, [&](bool done) {
            ++completions;
            *finished = done;
        });
        EXPECT_TRUE(waitUntil([&] { return completions > 0; }));
        EXPECT_NEAR(player->currentTime(), seconds, 1.0 / Rate);
        player->play();
        EXPECT_TRUE(waitForEnd(*player));
        EXPECT_EQ(completions, 1);
        return finishOutput();
    }

    Samples original;
};

TEST_F(SeekTest, FlacSeekLandsOnTheRequestedSample) {
    for (int64_t target : {int64_t(12345), int64_t(4096), int64_t(1), int64_t(0)}) {
        SCOPED_TRACE(target);
        bool finished = false;
        const FloatWav output =
            playFrom(path(QStringLiteral("track.flac")), double(target) / Rate, &finished);
        EXPECT_TRUE(finished);
        ASSERT_TRUE(output.valid);
        const Samples expected = slice(original, target, Frames - target);
        ASSERT_EQ(output.samples.size(), expected.size());
        EXPECT_TRUE(output.samples == expected);
    }
}

TEST_F(SeekTest, WavSeekLandsOnTheRequestedSample) {
    bool finished = false;
    const FloatWav output = playFrom(path(QStringLiteral("track.wav")), 33333.0 / Rate, &finished);
    EXPECT_TRUE(finished);
    ASSERT_TRUE(output.valid);
    EXPECT_TRUE(output.samples == slice(original, 33333, Frames - 33333));
}

TEST_F(SeekTest, Mp3SeekLandsOnTheRequestedSample) {
    const QString mp3 = path(QStringLiteral("track.mp3"));
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("track.wav")), mp3));
    const Samples decoded = ffmpegDecode(mp3);
    ASSERT_EQ(frameCount(decoded), Frames);
    bool finished = false;
    const FloatWav output = playFrom(mp3, 23456.0 / Rate, &finished);
    EXPECT_TRUE(finished);
    ASSERT_TRUE(output.valid);
    const Samples expected = slice(decoded, 23456, Frames - 23456);
    ASSERT_EQ(output.samples.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(output.samples[i], expected[i], 1e-4) << "frame " << i / 2;
}

TEST_F(SeekTest, SeekWhilePlayingMovesTheTimeAndTheSound) {
    useWavOutput(0, false); // real time, so the seek lands mid-track
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({path("track.flac")}));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.1; }));
    bool finished = false;
    int completions = 0;
    player->seek(1.0, [&](bool done) {
        ++completions;
        finished = done;
    });
    ASSERT_TRUE(waitUntil([&] { return completions == 1; }));
    EXPECT_TRUE(finished);
    EXPECT_GE(player->currentTime(), 1.0);
    EXPECT_LT(player->currentTime(), 1.1);
    ASSERT_TRUE(waitForEnd(*player));
    const FloatWav output = finishOutput();
    ASSERT_TRUE(output.valid);
    // The tail of the output is the track from 1 s on.
    const Samples tail = slice(original, Rate, Frames - Rate);
    ASSERT_GE(output.samples.size(), tail.size());
    EXPECT_TRUE(Samples(output.samples.end() - tail.size(), output.samples.end()) == tail);
}

TEST_F(SeekTest, ANewerSeekInterruptsTheOlderOneWhichCompletesOnce) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({path("track.flac")}));
    QList<int> first;
    QList<int> second;
    player->seek(0.5, [&](bool done) { first << int(done); });
    player->seek(0.25, [&](bool done) { second << int(done); });
    EXPECT_TRUE(first.isEmpty()); // never inside the call that overtook it
    ASSERT_TRUE(waitUntil([&] { return !first.isEmpty() && !second.isEmpty(); }));
    testsupport::waitUntil([] { return false; }, 100);
    EXPECT_EQ(first, QList<int>{0});
    EXPECT_EQ(second, QList<int>{1});
    EXPECT_NEAR(player->currentTime(), 0.25, 1.0 / Rate);
}

TEST_F(SeekTest, SeekWithoutAnItemReportsInterrupted) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer({});
    QList<int> results;
    player->seek(1.0, [&](bool done) { results << int(done); });
    ASSERT_TRUE(waitUntil([&] { return !results.isEmpty(); }));
    EXPECT_EQ(results, QList<int>{0});
}

TEST_F(SeekTest, SeekOnAFailedItemReportsInterrupted) {
    testsupport::writeFile(path(QStringLiteral("broken.flac")), QByteArray(5000, 'x'));
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({path("broken.flac")}));
    QList<int> results;
    player->seek(1.0, [&](bool done) { results << int(done); });
    ASSERT_TRUE(waitUntil([&] { return !results.isEmpty(); }));
    EXPECT_EQ(results, QList<int>{0});
    EXPECT_EQ(player->currentItem()->status(), PlayerItem::Status::Failed);
}

TEST_F(SeekTest, SeekPastTheEndEndsTheItem) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({path("track.flac")}));
    bool finished = false;
    player->seek(100.0, [&](bool done) { finished = done; });
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    player->play();
    EXPECT_TRUE(waitForEnd(*player));
    EXPECT_EQ(finishOutput().samples.size(), 0u);
}

} // namespace
