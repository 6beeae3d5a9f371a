// The queue player's interface: current item at the boundaries, rate and
// status, queue edits while frames are buffered, volume.
#include "audio/audiooutput.h"
#include "engine_audio.h"
#include "support/testsupport.h"

#include <QSignalSpy>

using namespace enginetest;
using testsupport::waitUntil;
using Status = QueuePlayer::TimeControlStatus;

namespace {

constexpr int Rate = 44100;
// Shorter than the decoder's buffering report, which so comes at the end of
// the file: an item that reports it is buffered whole.
constexpr int Part = 6007;

class PlayerTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        const Samples signal = sine(3 * Part, Rate);
        for (int i = 0; i < 3; ++i) {
            files << path(QString("%1.wav").arg(i));
            parts.push_back(writePcmWav(files.last(), slice(signal, i * Part, Part), Rate));
        }
    }
    std::unique_ptr<QueuePlayer> queueOf(int first, int count) {
        return player(files.mid(first, count));
    }
    static bool waitBuffered(PlayerItem* item) {
        return waitUntil([&] { return item->isPlaybackLikelyToKeepUp(); });
    }
    Samples partsJoined(const std::vector<int>& indexes) const {
        std::vector<Samples> pieces;
        for (int i : indexes)
            pieces.push_back(parts[size_t(i)]);
        return joined(pieces);
    }

    QStringList files;
    std::vector<Samples> parts;
};

// Ready with a duration and buffered while paused; then the current item
// changes once at each boundary, once the output has passed it, and at the end.
TEST_F(PlayerTest, ItemsAreReadyThenTheCurrentItemChangesOnceAtEachBoundary) {
    std::unique_ptr<QueuePlayer> queue = queueOf(0, 3);
    const QList<PlayerItem*> items = queue->items();
    ASSERT_TRUE(waitBuffered(items[1])); // the next item opens ahead of time
    EXPECT_EQ(items[0]->status(), PlayerItem::Status::ReadyToPlay);
    EXPECT_NEAR(items[0]->duration(), double(Part) / Rate, 1e-9);
    EXPECT_TRUE(!items[0]->isPlaybackBufferEmpty() && queue->timeControlStatus() == Status::Paused);
    QList<PlayerItem*> changes;
    QList<int64_t> framesAtChange;
    QObject::connect(queue.get(), &QueuePlayer::currentItemChanged, [&](PlayerItem* item) {
        changes << item;
        framesAtChange << AudioOutput::shared().framesPlayed();
        EXPECT_TRUE(queue->currentItem() == item && queue->items().value(0) == item);
    });
    QSignalSpy rates(queue.get(), &QueuePlayer::rateChanged);
    queue->play();
    ASSERT_TRUE(waitForEnd(*queue));
    EXPECT_EQ(changes, (QList<PlayerItem*>{items[1], items[2], nullptr}));
    ASSERT_EQ(framesAtChange.size(), 3);
    EXPECT_TRUE(framesAtChange[0] >= Part && framesAtChange[1] >= 2 * Part);
    EXPECT_EQ(queue->timeControlStatus(), Status::Paused); // played to the end: stopped
    EXPECT_TRUE(rates.size() == 2 && queue->rate() == 0.0f);
    EXPECT_NEAR(queue->currentTime(), double(Part) / Rate, 1e-9);
    expectSamples(finishOutput(), partsJoined({0, 1, 2}));
}

// Queue edits made while the items' frames already sit in the ring.
TEST_F(PlayerTest, EditsWhileFramesAreBufferedPlayTheEditedQueue) {
    auto part = [&](int i) { return new PlayerItem(QUrl::fromLocalFile(files[i])); };
    using Items = QList<PlayerItem*>;
    const struct {
        const char* name;
        int count; // of the first parts queued
        std::function<void(QueuePlayer&, const Items&)> edit;
        std::vector<int> played;
        int changes; // of the current item
    } rows[] = {
        {"append", 1, [&](auto& q, auto&) { q.insert(part(1), nullptr); }, {0, 1}, 0},
        {"remove the next", 2, [](auto& q, auto& i) { q.remove(i[1]); }, {0}, 0},
        {"insert after", 2, [&](auto& q, auto& i) { q.insert(part(2), i[0]); }, {0, 2, 1}, 0},
        {"remove the current", 2, [](auto& q, auto& i) { q.remove(i[0]); }, {1}, 1},
        {"remove all", 3, [](auto& q, auto&) { q.removeAllItems(); }, {}, 1},
        {"delete the next", 2, [](auto&, const Items& i) { delete i[1]; }, {0}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        useWavOutput();
        std::unique_ptr<QueuePlayer> queue = queueOf(0, row.count);
        ASSERT_TRUE(waitBuffered(queue->items().last()));
        QSignalSpy changes(queue.get(), &QueuePlayer::currentItemChanged);
        row.edit(*queue, queue->items());
        EXPECT_EQ(changes.size(), row.changes);
        queue->play();
        ASSERT_TRUE(waitForEnd(*queue));
        queue.reset();
        expectSamples(finishOutput(), partsJoined(row.played));
    }
}

class PlayerRealtime : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        useWavOutput(0, true);
    }
};

TEST_F(PlayerRealtime, AVolumeChangeWhilePlayingGlidesWithoutAStep) {
    writePcmWav(path("steady.wav"), Samples(size_t(Rate), 0.5f), Rate); // half a second
    std::unique_ptr<QueuePlayer> queue = player({path("steady.wav")});
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentTime() > 0.2; }));
    queue->setVolume(0.0f);
    ASSERT_TRUE(waitForEnd(*queue));
    const Samples output = finishOutput();
    ASSERT_EQ(frameCount(output), Rate / 2);
    EXPECT_TRUE(output.front() == 0.5f && output.back() == 0.0f);
    EXPECT_LT(largestStep(output, 1, Rate / 2), 0.01f);
}

} // namespace
