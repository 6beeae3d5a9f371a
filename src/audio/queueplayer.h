#pragma once

#include "audio/playeritem.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>

// A player of an ordered list of items that moves from one item to the next
// by itself, with the first sample of the next item directly after the last
// sample of the current one. Used from the GUI thread; every callback and
// signal arrives there. Change signals carry new values only.
//
// The playback rules talk to this interface, so they can be tested against
// the engine on the null output without a window.
class QueuePlayer : public QObject {
    Q_OBJECT
    Q_PROPERTY(float rate READ rate NOTIFY rateChanged)
    Q_PROPERTY(float volume READ volume WRITE setVolume)
    Q_PROPERTY(TimeControlStatus timeControlStatus READ timeControlStatus NOTIFY
                   timeControlStatusChanged)
    Q_PROPERTY(PlayerItem* currentItem READ currentItem NOTIFY currentItemChanged)

public:
    enum class TimeControlStatus { Paused, WaitingToPlayAtSpecifiedRate, Playing };
    Q_ENUM(TimeControlStatus)

    using TimeObserver = std::function<void(double seconds)>;
    using SeekCompletion = std::function<void(bool finished)>;

    using QObject::QObject;
    ~QueuePlayer() override = default;

    // The items in play order; the current item is first. The player owns them.
    virtual QList<PlayerItem*> items() const = 0;
    // Whether `item` may go after `after` (nullptr: at the end).
    virtual bool canInsert(PlayerItem* item, PlayerItem* after = nullptr) const = 0;
    virtual void insert(PlayerItem* item, PlayerItem* after = nullptr) = 0;
    virtual void remove(PlayerItem* item) = 0;
    virtual void removeAllItems() = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    // Greater than 0 while playing.
    virtual float rate() const = 0;
    virtual TimeControlStatus timeControlStatus() const = 0;
    virtual PlayerItem* currentItem() const = 0;

    virtual float volume() const = 0;
    virtual void setVolume(float volume) = 0;

    // Calls `observer` every `intervalSeconds` of playback with the current time;
    // returns a token for removeTimeObserver.
    virtual int addPeriodicTimeObserver(double intervalSeconds, TimeObserver observer) = 0;
    virtual void removeTimeObserver(int token) = 0;
    // Seconds into the current item.
    virtual double currentTime() const = 0;
    // Completion runs once: finished, or interrupted by a newer seek or a change of item.
    virtual void seek(double seconds, SeekCompletion completion = {}) = 0;

signals:
    void currentItemChanged(PlayerItem* item);
    void rateChanged(float rate);
    void timeControlStatusChanged(QueuePlayer::TimeControlStatus status);
};

// Builds the engine's player, holding `items` in order, on the shared output.
std::unique_ptr<QueuePlayer> makeQueuePlayer(const QList<PlayerItem*>& items);
