#pragma once

#include "audio/queueplayer.h"

#include <QMap>
#include <memory>

// What a FakeQueuePlayer saw before it was destroyed; outlives the player.
struct FakePlayerLog {
    bool pausedBeforeDestruction = false;
    qsizetype itemsAtDestruction = -1;
    qsizetype timeObserversAtDestruction = -1;
};

// A QueuePlayer whose time, seeks and item ends the test drives by hand.
// Mirrors the engine's contract: the current item is first, an item that
// ends is removed, inserting into an empty player makes the item current.
class FakeQueuePlayer : public QueuePlayer {
    Q_OBJECT

public:
    explicit FakeQueuePlayer(const QList<PlayerItem*>& items);
    ~FakeQueuePlayer() override;

    QList<PlayerItem*> items() const override { return m_items; }
    bool canInsert(PlayerItem* item, PlayerItem* after = nullptr) const override;
    void insert(PlayerItem* item, PlayerItem* after = nullptr) override;
    void remove(PlayerItem* item) override;
    void removeAllItems() override;
    void play() override;
    void pause() override;
    float rate() const override { return m_rate; }
    TimeControlStatus timeControlStatus() const override { return m_status; }
    PlayerItem* currentItem() const override { return m_items.value(0); }
    float volume() const override { return m_volume; }
    void setVolume(float volume) override { m_volume = volume; }
    int addPeriodicTimeObserver(double intervalSeconds, TimeObserver observer) override;
    void removeTimeObserver(int token) override;
    double currentTime() const override { return m_time; }
    void seek(double seconds, SeekCompletion completion = {}) override;

    // ---- Driven by the test ----
    // The current item ends and the next one plays.
    void advance();
    // Playback reaches `seconds`; time observers hear it.
    void reachTime(double seconds);
    void completeSeek(bool finished);
    void setTimeControlStatus(TimeControlStatus status);

    bool acceptsItems = true;
    int playCalls = 0;
    int pauseCalls = 0;
    QList<double> seeks;
    std::shared_ptr<FakePlayerLog> log = std::make_shared<FakePlayerLog>();

private:
    QList<PlayerItem*> m_items;
    float m_rate = 0;
    TimeControlStatus m_status = TimeControlStatus::Paused;
    float m_volume = 1;
    double m_time = 0;
    int m_nextToken = 1;
    QMap<int, TimeObserver> m_observers;
    SeekCompletion m_pendingSeek;
};
