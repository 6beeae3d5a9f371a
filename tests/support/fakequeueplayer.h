#pragma once

#include "audio/queueplayer.h"

#include <QMap>
#include <memory>

// What a FakeQueuePlayer saw before it was destroyed; outlives the player.
struct FakePlayerLog {
    bool pausedBeforeDestruction = false;
    qsizetype itemsAtDestruction = -1, timeObserversAtDestruction = -1;
};

// Driven by the test; as the engine, the current item is first, an item that
// ends is removed, inserting into an empty player makes the item current.
class FakeQueuePlayer : public QueuePlayer {
    Q_OBJECT

public:
    explicit FakeQueuePlayer(const QList<PlayerItem*>& items) {
        for (PlayerItem* item : items)
            insert(item);
    }
    ~FakeQueuePlayer() override {
        *log = {m_status == TimeControlStatus::Paused, m_items.size(), m_observers.size()};
    }

    QList<PlayerItem*> items() const override { return m_items; }
    bool canInsert(PlayerItem* item, PlayerItem* = nullptr) const override {
        return acceptsItems && item && !m_items.contains(item);
    }
    void insert(PlayerItem* item, PlayerItem* after = nullptr) override {
        item->setParent(this);
        m_items.insert(after ? m_items.indexOf(after) + 1 : m_items.size(), item);
        if (m_items.size() == 1)
            emit currentItemChanged(item);
    }
    void remove(PlayerItem* item) override {
        const bool wasCurrent = item && item == currentItem();
        if (!m_items.removeOne(item))
            return;
        item->deleteLater();
        if (wasCurrent)
            emit currentItemChanged(currentItem());
    }
    void removeAllItems() override {
        while (!m_items.isEmpty())
            remove(m_items.last());
    }
    void play() override { setRunning(true, playCalls); }
    void pause() override { setRunning(false, pauseCalls); }
    float rate() const override { return m_rate; }
    TimeControlStatus timeControlStatus() const override { return m_status; }
    PlayerItem* currentItem() const override { return m_items.value(0); }
    float volume() const override { return m_volume; }
    void setVolume(float volume) override { m_volume = volume; }
    int addPeriodicTimeObserver(double, TimeObserver observer) override {
        m_observers.insert(m_nextToken, std::move(observer));
        return m_nextToken++;
    }
    void removeTimeObserver(int token) override { m_observers.remove(token); }
    double currentTime() const override { return m_time; }
    void seek(double seconds, SeekCompletion completion = {}) override {
        seeks.append(seconds);
        completeSeek(false); // interrupted by the newer seek
        m_pendingSeek = std::move(completion);
        m_time = seconds;
    }

    // Driven by the test: the current item ends and the next one plays.
    void advance() {
        m_time = 0;
        remove(currentItem());
    }
    void reachTime(double seconds) {
        m_time = seconds;
        for (const TimeObserver& observer : QMap(m_observers)) // an observer may remove itself
            observer(seconds);
    }
    void completeSeek(bool finished) {
        if (SeekCompletion completion = std::exchange(m_pendingSeek, {}))
            completion(finished);
    }
    void setTimeControlStatus(TimeControlStatus status) {
        if (std::exchange(m_status, status) != status)
            emit timeControlStatusChanged(status);
    }

    bool acceptsItems = true;
    int playCalls = 0, pauseCalls = 0;
    QList<double> seeks;
    std::shared_ptr<FakePlayerLog> log = std::make_shared<FakePlayerLog>();

private:
    void setRunning(bool running, int& calls) {
        ++calls;
        m_rate = running ? 1 : 0;
        emit rateChanged(m_rate);
        setTimeControlStatus(running ? TimeControlStatus::Playing : TimeControlStatus::Paused);
    }

    QList<PlayerItem*> m_items;
    float m_rate = 0, m_volume = 1;
    TimeControlStatus m_status = TimeControlStatus::Paused;
    double m_time = 0;
    int m_nextToken = 1;
    QMap<int, TimeObserver> m_observers;
    SeekCompletion m_pendingSeek;
};
