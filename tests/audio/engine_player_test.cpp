// The queue player's interface: current item at the boundaries, rate and
// status, queue edits while frames are buffered, volume, observers, and the
// one output shared by consecutive players.

#include "audio/audiooutput.h"
#include "engine_audio.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <chrono>

using namespace enginetest;
using testsupport::waitUntil;

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
            const QString name = QString("%1.wav").arg(QChar('a' + i));
            parts.push_back(writePcmWav(path(name), slice(signal, i * Part, Part), Rate));
            files << path(name);
        }
    }
    std::unique_ptr<QueuePlayer> queueOf(int first, int count) {
        return player(files.mid(first, count));
    }
    static bool waitBuffered(PlayerItem* item) {
        return waitUntil([&] { return item->isPlaybackLikelyToKeepUp(); });
    }
    Samples partsJoined(std::initializer_list<int> indexes) const {
        std::vector<Samples> pieces;
        for (int i : indexes)
            pieces.push_back(parts[size_t(i)]);
        return joined(pieces);
    }

    QStringList files;
    std::vector<Samples> parts;
};

// Ready with a duration and buffered while paused; then the current item
// changes once at each boundary and at the end.
TEST_F(PlayerTest, ItemsAreReadyThenTheCurrentItemChangesOnceAtEachBoundary) {
    std::unique_ptr<QueuePlayer> queue = queueOf(0, 3);
    const QList<PlayerItem*> items = queue->items();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->status(), PlayerItem::Status::Unknown);
    EXPECT_EQ(items[0]->parent(), queue.get());
    ASSERT_TRUE(waitBuffered(items[1])); // the next item opens ahead of time
    EXPECT_EQ(items[0]->status(), PlayerItem::Status::ReadyToPlay);
    EXPECT_NEAR(items[0]->duration(), double(Part) / Rate, 1e-9);
    EXPECT_FALSE(items[0]->isPlaybackBufferEmpty());
    EXPECT_EQ(queue->timeControlStatus(), QueuePlayer::TimeControlStatus::Paused);
    QList<PlayerItem*> changes;
    QList<int64_t> framesAtChange;
    QObject::connect(queue.get(), &QueuePlayer::currentItemChanged, [&](PlayerItem* item) {
        changes << item;
        framesAtChange << AudioOutput::shared().framesPlayed();
        EXPECT_EQ(queue->currentItem(), item);
        EXPECT_EQ(queue->items().value(0), item);
    });
    QSignalSpy rates(queue.get(), &QueuePlayer::rateChanged);
    queue->play();
    ASSERT_TRUE(waitForEnd(*queue));
    EXPECT_EQ(changes, (QList<PlayerItem*>{items[1], items[2], nullptr}));
    // Reported once the output has passed the boundary, not when decoded.
    ASSERT_EQ(framesAtChange.size(), 3);
    EXPECT_TRUE(framesAtChange[0] >= Part && framesAtChange[1] >= 2 * Part);
    // Played to the end: the player stops.
    EXPECT_EQ(queue->timeControlStatus(), QueuePlayer::TimeControlStatus::Paused);
    EXPECT_EQ(rates.size(), 2);
    EXPECT_EQ(queue->rate(), 0.0f);
    EXPECT_NEAR(queue->currentTime(), double(Part) / Rate, 1e-9);
    expectSamples(finishOutput(), partsJoined({0, 1, 2}));
}

// Queue edits made while the items' frames already sit in the ring.
TEST_F(PlayerTest, EditsWhileFramesAreBufferedPlayTheEditedQueue) {
    auto part = [&](int i) { return new PlayerItem(QUrl::fromLocalFile(files[i])); };
    using Items = QList<PlayerItem*>;
    const struct {
        const char* name;
        int count;                                            // of the first parts queued
        std::function<void(QueuePlayer&, const Items&)> edit; // of the queue and its items
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
        const Items items = queue->items();
        ASSERT_TRUE(waitBuffered(items.last()));
        QSignalSpy changes(queue.get(), &QueuePlayer::currentItemChanged);
        row.edit(*queue, items);
        EXPECT_EQ(changes.size(), row.changes);
        queue->play();
        ASSERT_TRUE(waitForEnd(*queue));
        queue.reset();
        std::vector<Samples> expected;
        for (int i : row.played)
            expected.push_back(parts[size_t(i)]);
        expectSamples(finishOutput(), joined(expected));
    }
}

// Only items of no other queue can be inserted; the volume is clamped and
// scales the frames.
TEST_F(PlayerTest, InsertionRulesAndVolume) {
    std::unique_ptr<QueuePlayer> first = queueOf(0, 1);
    first->setVolume(7.0f);
    EXPECT_EQ(first->volume(), 1.0f);
    first->setVolume(0.5f);
    first->play();
    ASSERT_TRUE(waitForEnd(*first));
    Samples half = parts[0];
    for (float& sample : half)
        sample *= 0.5f;
    expectSamples(finishOutput(), half);
    first = queueOf(0, 1);
    std::unique_ptr<QueuePlayer> second = makeQueuePlayer({});
    auto* loose = new PlayerItem(QUrl::fromLocalFile(files[1]));
    EXPECT_FALSE(second->canInsert(first->items()[0], nullptr));
    EXPECT_FALSE(second->canInsert(nullptr, nullptr));
    EXPECT_FALSE(second->canInsert(loose, first->items()[0])); // not in this queue
    second->insert(loose, nullptr);
    EXPECT_FALSE(second->canInsert(loose, nullptr));
    EXPECT_EQ(second->currentItem(), loose);
}

// ---- In real time

class PlayerRealtime : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        useWavOutput(0, true);
    }
};

TEST_F(PlayerRealtime, StatusTimeAndItemFollowTheClock) {
    std::unique_ptr<QueuePlayer> queue = queueOf(0, 2);
    using Status = QueuePlayer::TimeControlStatus;
    QList<Status> statuses;
    QObject::connect(queue.get(), &QueuePlayer::timeControlStatusChanged,
                     [&](Status status) { statuses << status; });
    QList<double> times;
    const int token = queue->addPeriodicTimeObserver(0.02, [&](double t) { times << t; });
    using Clock = std::chrono::steady_clock;
    Clock::time_point changed;
    qsizetype seen = -1;
    QObject::connect(queue.get(), &QueuePlayer::currentItemChanged, [&](PlayerItem* item) {
        if (!item)
            return;
        changed = Clock::now();
        queue->removeTimeObserver(token);
        seen = times.size();
    });
    ASSERT_TRUE(waitBuffered(queue->items()[1]));
    EXPECT_TRUE(times.isEmpty()) << "no time while paused";
    const Clock::time_point started = Clock::now();
    queue->play();
    queue->play(); // no second rate change
    ASSERT_TRUE(waitForEnd(*queue));
    EXPECT_EQ(statuses, (QList<Status>{Status::WaitingToPlayAtSpecifiedRate, Status::Playing,
                                       Status::Paused}));
    const double seconds = std::chrono::duration<double>(changed - started).count();
    EXPECT_GE(seconds, double(Part) / Rate - 0.02);
    EXPECT_LT(seconds, double(Part) / Rate + 0.2);
    // Times while the first item played, none after the observer was removed.
    ASSERT_GE(seen, 3);
    EXPECT_EQ(times.size(), seen);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_GT(times.last(), 0.0);
}

TEST_F(PlayerRealtime, AVolumeChangeWhilePlayingGlidesWithoutAStep) {
    const QString file = path("steady.wav");
    writePcmWav(file, Samples(size_t(Rate), 0.5f), Rate); // half a second of a constant level
    std::unique_ptr<QueuePlayer> queue = player({file});
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentTime() > 0.2; }));
    queue->setVolume(0.0f);
    ASSERT_TRUE(waitForEnd(*queue));
    const Samples output = finishOutput();
    ASSERT_EQ(frameCount(output), Rate / 2);
    EXPECT_EQ(output.front(), 0.5f);
    EXPECT_EQ(output.back(), 0.0f);
    EXPECT_LT(largestStep(output, 1, Rate / 2), 0.01f);
}

TEST_F(PlayerRealtime, ANewPlayerTakesOverTheOpenOutput) {
    const Samples longer = writePcmWav(path("long.wav"), sine(Rate, Rate), Rate); // one second
    std::unique_ptr<QueuePlayer> first = player({path("long.wav")});
    first->play();
    ASSERT_TRUE(waitUntil([&] { return first->currentTime() > 0.05; }));
    std::unique_ptr<QueuePlayer> next = queueOf(1, 1);
    const int64_t playedByFirst = AudioOutput::shared().framesPlayed();
    first.reset();
    next->play();
    ASSERT_TRUE(waitForEnd(*next));
    const Samples output = finishOutput();
    // One file: a beginning of the first track, then all of the second.
    const int64_t head = frameCount(output) - Part;
    ASSERT_GT(head, 0);
    EXPECT_LT(head, Rate);
    EXPECT_LE(head, playedByFirst);
    expectSamples(slice(output, 0, head), slice(longer, 0, head));
    expectSamples(slice(output, head, Part), parts[1]);
}

} // namespace
