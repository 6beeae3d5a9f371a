#include "support/fakequeueplayer.h"

FakeQueuePlayer::FakeQueuePlayer(const QList<PlayerItem*>& items) : m_items(items) {
    for (PlayerItem* item : items)
        item->setParent(this);
}

FakeQueuePlayer::~FakeQueuePlayer() {
    log->pausedBeforeDestruction = m_status == TimeControlStatus::Paused;
    log->itemsAtDestruction = m_items.size();
    log->timeObserversAtDestruction = m_observers.size();
}

bool FakeQueuePlayer::canInsert(PlayerItem* item, PlayerItem*) const {
    return acceptsItems && item && !m_items.contains(item);
}

void FakeQueuePlayer::insert(PlayerItem* item, PlayerItem* after) {
    item->setParent(this);
    const qsizetype position = after ? m_items.indexOf(after) + 1 : m_items.size();
    m_items.insert(position, item);
    if (m_items.size() == 1)
        emit currentItemChanged(item);
}

void FakeQueuePlayer::remove(PlayerItem* item) {
    const qsizetype position = m_items.indexOf(item);
    if (position < 0)
        return;
    m_items.removeAt(position);
    item->deleteLater();
    if (position == 0)
        emit currentItemChanged(currentItem());
}

void FakeQueuePlayer::removeAllItems() {
    const bool hadItems = !m_items.isEmpty();
    for (PlayerItem* item : std::as_const(m_items))
        item->deleteLater();
    m_items.clear();
    if (hadItems)
        emit currentItemChanged(nullptr);
}

void FakeQueuePlayer::play() {
    ++playCalls;
    m_rate = 1;
    emit rateChanged(m_rate);
    setTimeControlStatus(TimeControlStatus::Playing);
}

void FakeQueuePlayer::pause() {
    ++pauseCalls;
    m_rate = 0;
    emit rateChanged(m_rate);
    setTimeControlStatus(TimeControlStatus::Paused);
}

int FakeQueuePlayer::addPeriodicTimeObserver(double, TimeObserver observer) {
    const int token = m_nextToken++;
    m_observers.insert(token, std::move(observer));
    return token;
}

void FakeQueuePlayer::removeTimeObserver(int token) {
    m_observers.remove(token);
}

void FakeQueuePlayer::seek(double seconds, SeekCompletion completion) {
    seeks.append(seconds);
    if (m_pendingSeek)
        m_pendingSeek(false); // interrupted by the newer seek
    m_pendingSeek = std::move(completion);
    m_time = seconds;
}

void FakeQueuePlayer::advance() {
    if (m_items.isEmpty())
        return;
    m_items.takeFirst()->deleteLater();
    m_time = 0;
    emit currentItemChanged(currentItem());
}

void FakeQueuePlayer::reachTime(double seconds) {
    m_time = seconds;
    const auto observers = m_observers; // an observer may remove itself
    for (const TimeObserver& observer : observers)
        observer(seconds);
}

void FakeQueuePlayer::completeSeek(bool finished) {
    if (SeekCompletion completion = std::exchange(m_pendingSeek, {}))
        completion(finished);
}

void FakeQueuePlayer::setTimeControlStatus(TimeControlStatus status) {
    if (m_status == status)
        return;
    m_status = status;
    emit timeControlStatusChanged(status);
}
