#include "ui/queuedragcontroller.h"

#include "ui/queuestripmodel.h"

#include <QTimer>

QueueStripModel* QueueDragController::strip() const {
    return m_strip;
}

void QueueDragController::setStrip(QueueStripModel* strip) {
    if (strip == m_strip)
        return;
    m_strip = strip;
    emit stripChanged();
}

QueueDragController::State QueueDragController::state() const {
    if (!m_draggedId.isEmpty())
        return InternalDrag;
    return m_gapId.isEmpty() ? Idle : ExternalHover;
}

void QueueDragController::setGap(const QString& id, bool isLeft) {
    if (id == m_gapId && isLeft == m_gapIsLeft)
        return;
    m_gapId = id;
    m_gapIsLeft = isLeft;
    emit stateChanged();
}

void QueueDragController::startDrag(const QString& id) {
    m_draggedId = id;
    m_gapId = id;
    m_gapIsLeft = true;
    emit stateChanged();
}

int QueueDragController::proposedAction() const {
    return m_draggedId.isEmpty() ? Qt::CopyAction : Qt::MoveAction;
}

int QueueDragController::hoverTile(const QString& id, double x) {
    if (!m_draggedId.isEmpty() && m_draggedId == id)
        return Qt::MoveAction;
    if (m_gapId != id)
        setGap(id, x < sideThreshold);
    else if (!m_gapIsLeft && x < toLeftBelow)
        setGap(id, true);
    else if (m_gapIsLeft && x > toRightAbove)
        setGap(id, false);
    return proposedAction();
}

int QueueDragController::targetOffset(const QStringList& entries) const {
    if (m_gapId.isEmpty())
        return -1;
    const qsizetype i = entries.indexOf(m_gapId);
    if (i < 0)
        return -1;
    return int(m_gapIsLeft ? i + 1 : i);
}

void QueueDragController::reset() {
    if (m_draggedId.isEmpty() && m_gapId.isEmpty())
        return;
    m_draggedId.clear();
    m_gapId.clear();
    m_gapIsLeft = false;
    emit stateChanged();
}

void QueueDragController::resetLater() {
    QTimer::singleShot(resetDelayMs, this, &QueueDragController::reset);
}

QStringList QueueDragController::currentEntries() const {
    return m_strip ? m_strip->ids() : QStringList();
}

bool QueueDragController::dropOnTile(const QString& tileId, const QStringList& entries,
                                     const QString& text) {
    const int target = targetOffset(entries);
    if (m_draggedId.isEmpty()) {
        if (target < 0 || text.isEmpty()) {
            resetLater();
            return false;
        }
        QTimer::singleShot(actionDelayMs, this, [this, text, target] {
            emit insertRequested({text}, target);
            reset();
        });
        return true;
    }
    resetLater();
    if (target >= 0 && m_draggedId != tileId) {
        const qsizetype from = entries.indexOf(m_draggedId);
        if (from >= 0) {
            QTimer::singleShot(actionDelayMs, this,
                               [this, from, target] { emit moveRequested({int(from)}, target); });
        }
    }
    return true;
}

bool QueueDragController::dropOnBackground(const QString& text) {
    if (m_draggedId.isEmpty()) {
        if (text.isEmpty())
            return false;
        QTimer::singleShot(actionDelayMs, this, [this, text] {
            const int target = targetOffset(currentEntries());
            if (target < 0)
                emit appendRequested(text);
            else
                emit insertRequested({text}, target);
            reset();
        });
        return true;
    }
    resetLater();
    QTimer::singleShot(actionDelayMs, this, [this] {
        const QStringList entries = currentEntries();
        const qsizetype from = entries.indexOf(m_draggedId);
        if (from < 0)
            return;
        const int target = targetOffset(entries);
        emit moveRequested({int(from)}, target < 0 ? int(entries.size()) : target);
    });
    return true;
}

void QueueDragController::dragCancelled() {
    resetLater();
}
