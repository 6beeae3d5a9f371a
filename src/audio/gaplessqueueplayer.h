#pragma once

#include "audio/playbackstream.h"
#include "audio/queuedecoder.h"
#include "audio/queueplayer.h"

#include <QHash>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <vector>

// The engine's QueuePlayer: a decoder thread fills the player's stream, the
// shared output plays it, and this object, on the GUI thread, follows the
// stream's events to keep the current item, the time and the states.
class GaplessQueuePlayer final : public QueuePlayer {
    Q_OBJECT

public:
    explicit GaplessQueuePlayer(const QList<PlayerItem*>& items, QObject* parent = nullptr);
    ~GaplessQueuePlayer() override;

    QList<PlayerItem*> items() const override { return m_items; }
    bool canInsert(PlayerItem* item, PlayerItem* after = nullptr) const override;
    void insert(PlayerItem* item, PlayerItem* after = nullptr) override;
    void remove(PlayerItem* item) override;
    void removeAllItems() override;

    void play() override;
    void pause() override;
    float rate() const override { return m_rate; }
    TimeControlStatus timeControlStatus() const override { return m_status; }
    PlayerItem* currentItem() const override { return m_current; }

    float volume() const override { return m_volume; }
    void setVolume(float volume) override;

    int addPeriodicTimeObserver(double intervalSeconds, TimeObserver observer) override;
    void removeTimeObserver(int token) override;
    double currentTime() const override;
    void seek(double seconds, SeekCompletion completion = {}) override;

private:
    struct Position {
        bool valid = false;
        int track = -1;
        int64_t startFrame = 0;
        int64_t startPosition = 0;
    };
    struct Observer {
        int token = 0;
        QTimer* timer = nullptr;
        TimeObserver callback;
    };

    void poll();
    void applyEvent(const StreamEvent& event);
    void retireBefore(int index);
    void setCurrent(PlayerItem* item);
    void setRate(float rate);
    void updateStatus();
    void updateBufferState();
    void notifyObservers();
    void finishSeek(bool finished);
    void interruptSeek();
    int64_t heardPosition() const;
    double secondsAt(const Position& position, int64_t streamPosition) const;

    void onOpened(int track, double seconds);
    void onFailed(int track, const QString& error);
    void onBuffered(int track);
    void onSeekFailed(uint32_t serial);

    std::unique_ptr<PlaybackStream> m_stream;
    std::unique_ptr<QueueDecoder> m_decoder;
    QList<PlayerItem*> m_items;
    QHash<int, QPointer<PlayerItem>> m_itemOfTrack;
    QHash<const PlayerItem*, int> m_trackOfItem;
    int m_nextTrack = 1;
    PlayerItem* m_current = nullptr;
    Position m_position;
    double m_lastTime = 0;
    bool m_starvedShown = false;

    float m_rate = 0;
    float m_volume = 1;
    TimeControlStatus m_status = TimeControlStatus::Paused;

    QSocketNotifier* m_notifier = nullptr;
    QTimer m_heardTimer; // for a boundary still in the device's buffer
    std::vector<Observer> m_observers;
    int m_nextToken = 1;

    uint32_t m_seekSerial = 0;
    bool m_seekPending = false;
    SeekCompletion m_seekCompletion;
};
