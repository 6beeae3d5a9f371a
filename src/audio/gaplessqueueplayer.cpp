#include "audio/gaplessqueueplayer.h"

#include "audio/audiooutput.h"

#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <thread>

std::unique_ptr<QueuePlayer> makeQueuePlayer(const QList<PlayerItem*>& items) {
    return std::make_unique<GaplessQueuePlayer>(items);
}

GaplessQueuePlayer::GaplessQueuePlayer(const QList<PlayerItem*>& items, QObject* parent)
    : QueuePlayer(parent), m_stream(std::make_unique<PlaybackStream>()) {
    QueueDecoder::Reports reports;
    // Called on the decoder thread, which reports nothing once the teardown began.
    reports.opened = [this](int track, double seconds) {
        QMetaObject::invokeMethod(
            this, [this, track, seconds] { onOpened(track, seconds); }, Qt::QueuedConnection);
    };
    reports.failed = [this](int track, const QString& error) {
        QMetaObject::invokeMethod(
            this, [this, track, error] { onFailed(track, error); }, Qt::QueuedConnection);
    };
    reports.buffered = [this](int track) {
        QMetaObject::invokeMethod(
            this, [this, track] { onBuffered(track); }, Qt::QueuedConnection);
    };
    reports.seekFailed = [this](uint32_t serial) {
        QMetaObject::invokeMethod(
            this, [this, serial] { onSeekFailed(serial); }, Qt::QueuedConnection);
    };
    m_decoder = std::make_unique<QueueDecoder>(*m_stream, std::move(reports));
    AudioOutput::shared().attach(m_stream.get());

    // The audio thread signals events; nothing polls while nothing happens.
    m_notifier = new QSocketNotifier(m_stream->notifier(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        m_stream->clearNotification();
        poll();
    });
    m_heardTimer.setSingleShot(true);
    m_heardTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_heardTimer, &QTimer::timeout, this, &GaplessQueuePlayer::poll);
    for (PlayerItem* item : items)
        insert(item);
}

GaplessQueuePlayer::~GaplessQueuePlayer() {
    interruptSeek();
    AudioOutput::shared().detach(m_stream.get());
    delete m_notifier; // before the stream may close its descriptor elsewhere
    m_notifier = nullptr;
    m_decoder->stop();
    // A decoder thread stuck in a read that no interrupt reaches (a hung
    // network share) is joined elsewhere, with the stream it fills.
    if (!m_decoder->waitUntilStopped(std::chrono::milliseconds(100))) {
        std::thread([decoder = std::move(m_decoder), stream = std::move(m_stream)]() mutable {
            decoder.reset();
            stream.reset();
        }).detach();
    }
}

// ---- items

bool GaplessQueuePlayer::canInsert(PlayerItem* item, PlayerItem* after) const {
    if (!item || m_items.contains(item))
        return false;
    // An item belongs to one player at a time.
    if (qobject_cast<QueuePlayer*>(item->parent()) && item->parent() != this)
        return false;
    return !after || m_items.contains(after);
}

void GaplessQueuePlayer::insert(PlayerItem* item, PlayerItem* after) {
    if (!canInsert(item, after))
        return;
    if (item->parent() != this) {
        item->setParent(this);
        // Deleted by someone else: it leaves the queue as if removed.
        connect(item, &QObject::destroyed, this, [this, item] {
            remove(item);
            m_trackOfItem.remove(item);
        });
    }
    const int track = m_nextTrack++;
    m_itemOfTrack.insert(track, item);
    m_trackOfItem.insert(item, track);
    const int index = after ? int(m_items.indexOf(after)) + 1 : int(m_items.size());
    m_items.insert(index, item);
    m_decoder->insert(track, item->url().toLocalFile(),
                      after ? m_trackOfItem.value(after, -1) : -1);
    if (!m_current && index == 0)
        setCurrent(item);
    updateStatus();
}

void GaplessQueuePlayer::remove(PlayerItem* item) {
    const int index = int(m_items.indexOf(item));
    if (index < 0)
        return;
    m_items.removeAt(index);
    m_decoder->remove(m_trackOfItem.value(item, -1), item == m_current);
    if (item == m_current) {
        m_position = {};
        setCurrent(m_items.value(0, nullptr));
    }
    updateStatus();
}

void GaplessQueuePlayer::removeAllItems() {
    m_items.clear();
    m_decoder->removeAll();
    m_position = {};
    setCurrent(nullptr);
    updateStatus();
}

// ---- rate and status

void GaplessQueuePlayer::play() {
    setRate(1.0f);
}

void GaplessQueuePlayer::pause() {
    setRate(0.0f);
}

void GaplessQueuePlayer::setRate(float rate) {
    if (rate == m_rate)
        return;
    m_rate = rate;
    m_stream->setPlaying(rate > 0);
    // A device sink corks at a pause and uncorks at play.
    if (AudioOutput::shared().isAttached(m_stream.get()))
        AudioOutput::shared().wakeSink();
    for (const Observer& observer : m_observers) {
        if (rate > 0)
            observer.timer->start();
        else
            observer.timer->stop();
    }
    emit rateChanged(rate);
    notifyObservers();
    updateStatus();
}

void GaplessQueuePlayer::updateStatus() {
    TimeControlStatus status = TimeControlStatus::Playing;
    if (m_rate <= 0)
        status = TimeControlStatus::Paused;
    else if (!m_current || m_current->status() != PlayerItem::Status::ReadyToPlay ||
             !m_position.valid || m_stream->isStarved())
        status = TimeControlStatus::WaitingToPlayAtSpecifiedRate;
    if (status != m_status) {
        m_status = status;
        emit timeControlStatusChanged(status);
    }
}

// An item whose frames run out while it plays shows an empty buffer.
void GaplessQueuePlayer::updateBufferState() {
    if (!m_current || m_current->status() != PlayerItem::Status::ReadyToPlay)
        return;
    const bool starved = m_rate > 0 && m_position.valid && m_stream->isStarved();
    if (starved == m_starvedShown)
        return;
    m_starvedShown = starved;
    m_current->setPlaybackBufferEmpty(starved);
    m_current->setPlaybackLikelyToKeepUp(!starved);
}

void GaplessQueuePlayer::setVolume(float volume) {
    m_volume = std::clamp(volume, 0.0f, 1.0f);
    m_stream->setVolume(m_volume);
}

// ---- following the stream

int64_t GaplessQueuePlayer::heardPosition() const {
    const AudioOutput& output = AudioOutput::shared();
    const int64_t latency = output.isAttached(m_stream.get()) ? output.latencyFrames() : 0;
    return m_stream->playedPosition() - latency;
}

void GaplessQueuePlayer::poll() {
    const int64_t heard = heardPosition();
    while (const StreamEvent* pending = m_stream->peekEvent()) {
        if (!pending->jump && pending->position > heard) {
            // A boundary still inside the device's buffer: look again when
            // it should have been heard.
            const int rate = std::max(1, m_stream->sampleRate());
            const int64_t ms = (pending->position - heard) * 1000 / rate + 2;
            m_heardTimer.start(int(std::clamp<int64_t>(ms, 2, 500)));
            break;
        }
        const StreamEvent event = *pending;
        m_stream->popEvent();
        applyEvent(event);
    }
    if (m_position.valid)
        m_lastTime = currentTime();
    updateBufferState();
    updateStatus();
}

void GaplessQueuePlayer::applyEvent(const StreamEvent& event) {
    if (event.end) {
        if (m_position.valid)
            m_lastTime = secondsAt(m_position, event.position);
        const int last = m_items.indexOf(m_itemOfTrack.value(event.trackId));
        if (last >= 0)
            retireBefore(last + 1);
        m_position = {};
        // Items inserted once the output had reached the end follow it in the
        // stream (a track shorter than the time to queue the next one): the
        // first of them is next, and playback goes on.
        const bool followed = last >= 0 && !event.jump && !m_items.isEmpty();
        setCurrent(followed ? m_items.first() : nullptr);
        if (!event.jump && !followed)
            setRate(0.0f); // played to the end: the player stops
        return;
    }
    PlayerItem* item = m_itemOfTrack.value(event.trackId);
    int index = item ? int(m_items.indexOf(item)) : -1;
    if (index < 0 && item && event.jump && event.seekSerial) {
        // A seek raced the boundary: the output went back to the item.
        m_items.prepend(item);
        index = 0;
    }
    if (index < 0)
        return; // removed meanwhile; the jump that follows moves on
    retireBefore(index);
    m_position = {true, event.trackId, event.startFrame, event.position};
    if (event.seekSerial && event.seekSerial == m_seekSerial && m_seekPending)
        finishSeek(true);
    setCurrent(item);
    if (event.jump)
        notifyObservers();
}

void GaplessQueuePlayer::retireBefore(int index) {
    for (int i = 0; i < index && !m_items.isEmpty(); ++i) {
        PlayerItem* item = m_items.takeFirst();
        m_decoder->retire(m_trackOfItem.value(item, -1));
    }
}

void GaplessQueuePlayer::setCurrent(PlayerItem* item) {
    if (item == m_current)
        return;
    interruptSeek();
    m_current = item;
    m_starvedShown = false;
    emit currentItemChanged(item);
}

double GaplessQueuePlayer::secondsAt(const Position& position, int64_t streamPosition) const {
    const int rate = m_stream->sampleRate();
    if (!position.valid || rate <= 0)
        return 0;
    const int64_t frame =
        position.startFrame + std::max<int64_t>(0, streamPosition - position.startPosition);
    return double(frame) / rate;
}

double GaplessQueuePlayer::currentTime() const {
    int64_t heard = heardPosition();
    if (const StreamEvent* pending = m_stream->peekEvent()) {
        // The output is ahead of the last event applied.
        if (pending->jump && !pending->end) {
            return secondsAt({true, pending->trackId, pending->startFrame, pending->position},
                             heard);
        }
        heard = std::min(heard, pending->position);
    }
    if (!m_position.valid)
        return m_current ? 0 : m_lastTime;
    return secondsAt(m_position, heard);
}

// ---- time observers and seeking

int GaplessQueuePlayer::addPeriodicTimeObserver(double intervalSeconds, TimeObserver observer) {
    const int token = m_nextToken++;
    auto* timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(std::max(1, int(std::lround(intervalSeconds * 1000))));
    connect(timer, &QTimer::timeout, this, [this, token] {
        poll();
        for (const Observer& entry : m_observers) {
            if (entry.token == token) {
                const TimeObserver callback = entry.callback;
                callback(currentTime());
                return;
            }
        }
    });
    m_observers.push_back({token, timer, std::move(observer)});
    if (m_rate > 0)
        timer->start();
    return token;
}

void GaplessQueuePlayer::removeTimeObserver(int token) {
    for (auto it = m_observers.begin(); it != m_observers.end(); ++it) {
        if (it->token == token) {
            it->timer->stop();
            it->timer->deleteLater();
            m_observers.erase(it);
            return;
        }
    }
}

void GaplessQueuePlayer::notifyObservers() {
    if (m_observers.empty())
        return;
    const double time = currentTime();
    std::vector<TimeObserver> callbacks;
    for (const Observer& observer : m_observers)
        callbacks.push_back(observer.callback);
    for (const TimeObserver& callback : callbacks)
        callback(time);
}

void GaplessQueuePlayer::seek(double seconds, SeekCompletion completion) {
    interruptSeek();
    if (!m_current) {
        if (completion)
            QTimer::singleShot(0, qApp, [completion] { completion(false); });
        return;
    }
    m_seekPending = true;
    m_seekCompletion = std::move(completion);
    m_decoder->seek(m_trackOfItem.value(m_current, -1), seconds, ++m_seekSerial);
}

void GaplessQueuePlayer::finishSeek(bool finished) {
    m_seekPending = false;
    const SeekCompletion completion = std::move(m_seekCompletion);
    m_seekCompletion = {};
    if (completion)
        completion(finished);
}

// The completion of a seek overtaken by another seek or a change of item runs
// later on the GUI thread, never inside the call that overtook it.
void GaplessQueuePlayer::interruptSeek() {
    if (!m_seekPending)
        return;
    m_seekPending = false;
    const SeekCompletion completion = std::move(m_seekCompletion);
    m_seekCompletion = {};
    if (completion)
        QTimer::singleShot(0, qApp, [completion] { completion(false); });
}

// ---- reports from the decoder thread

void GaplessQueuePlayer::onOpened(int track, double seconds) {
    if (PlayerItem* item = m_itemOfTrack.value(track)) {
        item->setReady(seconds);
        updateStatus();
    }
}

void GaplessQueuePlayer::onFailed(int track, const QString& error) {
    if (PlayerItem* item = m_itemOfTrack.value(track)) {
        item->setFailed(error);
        updateStatus();
    }
}

void GaplessQueuePlayer::onBuffered(int track) {
    if (PlayerItem* item = m_itemOfTrack.value(track)) {
        if (item->status() == PlayerItem::Status::Failed)
            return;
        item->setPlaybackBufferEmpty(false);
        item->setPlaybackLikelyToKeepUp(true);
    }
}

void GaplessQueuePlayer::onSeekFailed(uint32_t serial) {
    if (m_seekPending && serial == m_seekSerial)
        finishSeek(false);
}
