// The queue player's interface: current item at the boundaries, rate and
// status, queue edits while frames are buffered, volume, observers, and the
// one output shared by consecutive players.

#include "engine_audio.h"
#include "audio/audiooutput.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <chrono>

using namespace enginetest;
using testsupport::waitUntil;

namespace {

constexpr int Rate = 44100;

class PlayerTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        const Samples signal = sweep(3 * Part, Rate);
        for (int i = 0; i < 3; ++i) {
            const QString name = QStringLiteral("%1.wav").arg(QChar('a' + i));
            parts.push_back(writePcmWav(path(name), slice(signal, i * Part, Part), Rate));
            files << path(name);
        }
    }

    static Samples joined(std::initializer_list<const Samples*> pieces) {
        Samples all;
        for (const Samples* piece : pieces)
            all.insert(all.end(), piece->begin(), piece->end());
        return all;
    }

    static bool waitReady(PlayerItem* item) {
        return waitUntil([&] { return item->status() == PlayerItem::Status::ReadyToPlay; });
    }

    // Lets the decoder thread fill the ring while paused.
    static void letDecoderRun() {
        waitUntil([] { return false; }, 150);
    }

    static constexpr int Part = 20011;
    QStringList files;
    std::vector<Samples> parts;
};

TEST_F(PlayerTest, ItemsAreReadyWithTheirDurationAndBufferedWhilePaused) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 2)));
    const QList<PlayerItem*> items = player->items();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(player->currentItem(), items[0]);
    EXPECT_EQ(items[0]->status(), PlayerItem::Status::Unknown);
    EXPECT_EQ(items[0]->parent(), player.get());
    ASSERT_TRUE(waitReady(items[0]));
    ASSERT_TRUE(waitReady(items[1])); // the next item opens ahead of time
    EXPECT_NEAR(items[0]->duration(), double(Part) / Rate, 1e-9);
    ASSERT_TRUE(waitUntil([&] { return items[0]->isPlaybackLikelyToKeepUp(); }));
    EXPECT_FALSE(items[0]->isPlaybackBufferEmpty());
    EXPECT_EQ(player->rate(), 0.0f);
    EXPECT_EQ(player->timeControlStatus(), QueuePlayer::TimeControlStatus::Paused);
    EXPECT_EQ(player->currentTime(), 0.0);
}

TEST_F(PlayerTest, TheCurrentItemChangesOnceAtEachBoundaryAndTheEnd) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files));
    const QList<PlayerItem*> items = player->items();
    QList<PlayerItem*> changes;
    QList<int64_t> framesAtChange;
    QObject::connect(player.get(), &QueuePlayer::currentItemChanged, [&](PlayerItem* item) {
        changes << item;
        framesAtChange << AudioOutput::shared().framesPlayed();
        EXPECT_EQ(player->currentItem(), item);
        if (item) {
            EXPECT_EQ(player->items().first(), item);
        }
    });
    QSignalSpy rates(player.get(), &QueuePlayer::rateChanged);
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    EXPECT_EQ(changes, (QList<PlayerItem*>{items[1], items[2], nullptr}));
    // Reported once the output has passed the boundary, not when decoded.
    ASSERT_EQ(framesAtChange.size(), 3);
    EXPECT_GE(framesAtChange[0], Part);
    EXPECT_GE(framesAtChange[1], 2 * Part);
    EXPECT_TRUE(player->items().isEmpty());
    // Played to the end: the player stops.
    EXPECT_EQ(player->rate(), 0.0f);
    EXPECT_EQ(player->timeControlStatus(), QueuePlayer::TimeControlStatus::Paused);
    ASSERT_EQ(rates.size(), 2);
    EXPECT_EQ(rates[0][0].toFloat(), 1.0f);
    EXPECT_EQ(rates[1][0].toFloat(), 0.0f);
    EXPECT_NEAR(player->currentTime(), double(Part) / Rate, 1e-9);
    EXPECT_TRUE(finishOutput().samples == joined({&parts[0], &parts[1], &parts[2]}));
}

TEST_F(PlayerTest, TheItemChangesWhenTheRealTimeClockPassesTheBoundary) {
    useWavOutput(0, false);
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 2)));
    ASSERT_TRUE(waitReady(player->items()[0]));
    using Clock = std::chrono::steady_clock;
    Clock::time_point changed;
    QObject::connect(player.get(), &QueuePlayer::currentItemChanged, [&](PlayerItem* item) {
        if (item && changed == Clock::time_point())
            changed = Clock::now();
    });
    const Clock::time_point started = Clock::now();
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    const double seconds = std::chrono::duration<double>(changed - started).count();
    EXPECT_GE(seconds, double(Part) / Rate - 0.02);
    EXPECT_LT(seconds, double(Part) / Rate + 0.2);
}

TEST_F(PlayerTest, StatusWaitsUntilFramesFlowThenPlays) {
    useWavOutput(0, false);
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 1)));
    QList<QueuePlayer::TimeControlStatus> statuses;
    QObject::connect(player.get(), &QueuePlayer::timeControlStatusChanged,
                     [&](QueuePlayer::TimeControlStatus status) { statuses << status; });
    player->play();
    player->play(); // no second rate change
    ASSERT_TRUE(waitUntil(
        [&] { return player->timeControlStatus() == QueuePlayer::TimeControlStatus::Playing; }));
    player->pause();
    EXPECT_EQ(statuses, (QList<QueuePlayer::TimeControlStatus>{
                            QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate,
                            QueuePlayer::TimeControlStatus::Playing,
                            QueuePlayer::TimeControlStatus::Paused}));
    // Paused: the time stands still.
    const double time = player->currentTime();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(player->currentTime(), time);
    EXPECT_GT(time, 0.0);
}

TEST_F(PlayerTest, AnItemInsertedWhileTheLastPlaysFollowsWithoutAGap) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 1)));
    ASSERT_TRUE(waitReady(player->items()[0]));
    letDecoderRun(); // the whole first file is buffered, then the end
    auto* next = new PlayerItem(QUrl::fromLocalFile(files[1]));
    ASSERT_TRUE(player->canInsert(next, nullptr));
    player->insert(next, nullptr);
    EXPECT_FALSE(player->canInsert(next, nullptr));
    EXPECT_EQ(player->items().size(), 2);
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    const FloatWav output = finishOutput();
    EXPECT_EQ(frameCount(output.samples), 2 * Part);
    EXPECT_TRUE(output.samples == joined({&parts[0], &parts[1]}));
}

TEST_F(PlayerTest, RemovingABufferedNextItemTakesItsFramesBack) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 2)));
    PlayerItem* second = player->items()[1];
    ASSERT_TRUE(waitReady(second));
    letDecoderRun(); // both files sit in the ring
    player->remove(second);
    EXPECT_EQ(player->items().size(), 1);
    auto* third = new PlayerItem(QUrl::fromLocalFile(files[2]));
    player->insert(third, nullptr);
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    EXPECT_TRUE(finishOutput().samples == joined({&parts[0], &parts[2]}));
}

TEST_F(PlayerTest, InsertingAfterTheCurrentItemGoesBeforeTheBufferedNext) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 2)));
    PlayerItem* first = player->items()[0];
    ASSERT_TRUE(waitReady(player->items()[1]));
    letDecoderRun();
    player->insert(new PlayerItem(QUrl::fromLocalFile(files[2])), first);
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    EXPECT_TRUE(finishOutput().samples == joined({&parts[0], &parts[2], &parts[1]}));
}

TEST_F(PlayerTest, RemovingTheCurrentItemMovesToTheNextFromItsStart) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 2)));
    const QList<PlayerItem*> items = player->items();
    ASSERT_TRUE(waitReady(items[1]));
    letDecoderRun();
    QSignalSpy changes(player.get(), &QueuePlayer::currentItemChanged);
    player->remove(items[0]);
    EXPECT_EQ(player->currentItem(), items[1]);
    EXPECT_EQ(changes.size(), 1);
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    EXPECT_TRUE(finishOutput().samples == parts[1]);
}

TEST_F(PlayerTest, RemovingAllItemsStopsTheSound) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files));
    ASSERT_TRUE(waitReady(player->items()[0]));
    letDecoderRun();
    player->removeAllItems();
    EXPECT_EQ(player->currentItem(), nullptr);
    EXPECT_TRUE(player->items().isEmpty());
    player->play();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(player->timeControlStatus(),
              QueuePlayer::TimeControlStatus::WaitingToPlayAtSpecifiedRate);
    EXPECT_EQ(finishOutput().samples.size(), 0u);
}

TEST_F(PlayerTest, VolumeScalesTheFrames) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 1)));
    player->setVolume(0.5f);
    EXPECT_EQ(player->volume(), 0.5f);
    player->setVolume(7.0f);
    EXPECT_EQ(player->volume(), 1.0f);
    player->setVolume(0.5f);
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    Samples half = parts[0];
    for (float& sample : half)
        sample *= 0.5f;
    EXPECT_TRUE(finishOutput().samples == half);
}

TEST_F(PlayerTest, AVolumeChangeWhilePlayingGlidesWithoutAStep) {
    useWavOutput(0, false);
    const Samples steady(size_t(Rate) * 2, 0.5f); // one second of a constant level
    const QString file = path(QStringLiteral("steady.wav"));
    writePcmWav(file, steady, Rate);
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor({file}));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.2; }));
    player->setVolume(0.0f);
    ASSERT_TRUE(waitForEnd(*player));
    const FloatWav output = finishOutput();
    ASSERT_EQ(frameCount(output.samples), Rate);
    EXPECT_EQ(output.samples.front(), 0.5f);
    EXPECT_EQ(output.samples.back(), 0.0f);
    EXPECT_LT(largestStep(output.samples, 1, Rate), 0.01f);
}

TEST_F(PlayerTest, AnItemDeletedByItsOwnerLeavesTheQueue) {
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 2)));
    const QList<PlayerItem*> items = player->items();
    ASSERT_TRUE(waitReady(items[1]));
    letDecoderRun();
    delete items[1];
    EXPECT_EQ(player->items(), QList<PlayerItem*>{items[0]});
    player->play();
    ASSERT_TRUE(waitForEnd(*player));
    EXPECT_TRUE(finishOutput().samples == parts[0]);
}

TEST_F(PlayerTest, AnItemOfAnotherPlayerCannotBeInserted) {
    std::unique_ptr<QueuePlayer> first = makeQueuePlayer(itemsFor(files.mid(0, 1)));
    std::unique_ptr<QueuePlayer> second = makeQueuePlayer({});
    EXPECT_FALSE(second->canInsert(first->items()[0], nullptr));
    EXPECT_FALSE(second->canInsert(nullptr, nullptr));
    auto* loose = new PlayerItem(QUrl::fromLocalFile(files[1]));
    EXPECT_FALSE(second->canInsert(loose, first->items()[0])); // not in this queue
    EXPECT_TRUE(second->canInsert(loose, nullptr));
    second->insert(loose, nullptr);
    EXPECT_EQ(second->currentItem(), loose);
}

TEST_F(PlayerTest, TimeObserverReportsWhilePlayingOnly) {
    useWavOutput(0, false);
    std::unique_ptr<QueuePlayer> player = makeQueuePlayer(itemsFor(files.mid(0, 1)));
    QList<double> times;
    const int token = player->addPeriodicTimeObserver(0.05, [&](double t) { times << t; });
    waitUntil([] { return false; }, 150);
    EXPECT_TRUE(times.isEmpty());
    player->play();
    ASSERT_TRUE(waitUntil([&] { return times.size() >= 5; }));
    for (int i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i], times[i - 1]);
    EXPECT_GT(times.last(), 0.0);
    player->removeTimeObserver(token);
    const qsizetype seen = times.size();
    waitUntil([] { return false; }, 150);
    EXPECT_EQ(times.size(), seen);
}

TEST_F(PlayerTest, ANewPlayerTakesOverTheOpenOutput) {
    useWavOutput(0, false);
    std::unique_ptr<QueuePlayer> first = makeQueuePlayer(itemsFor(files.mid(0, 1)));
    first->play();
    ASSERT_TRUE(waitUntil([&] { return first->currentTime() > 0.1; }));
    std::unique_ptr<QueuePlayer> second = makeQueuePlayer(itemsFor(files.mid(1, 1)));
    const int64_t playedByFirst = AudioOutput::shared().framesPlayed();
    first.reset();
    second->play();
    ASSERT_TRUE(waitForEnd(*second));
    const FloatWav output = finishOutput();
    ASSERT_TRUE(output.valid);
    // One file: a beginning of the first track, then all of the second.
    const int64_t head = frameCount(output.samples) - Part;
    ASSERT_GT(head, 0);
    EXPECT_LT(head, Part);
    EXPECT_LE(head, playedByFirst);
    EXPECT_TRUE(slice(output.samples, 0, head) == slice(parts[0], 0, head));
    EXPECT_TRUE(slice(output.samples, head, Part) == parts[1]);
}

} // namespace
