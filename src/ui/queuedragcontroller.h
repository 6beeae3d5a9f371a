#pragma once

#include "ui/queuestripmodel.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// The queue strip's drag and drop, driven by its drop areas:
//   idle           nothing dragged, no gap;
//   external hover a library item from another view is over the tiles and the
//                  insertion gap follows the pointer;
//   internal drag  a tile of the strip is being dragged.
// The gap is open on one side of one tile: on its left on screen (after that
// group in queue order) or on its right (before it). Every performed drop
// ends in idle again; the edit it asks for is emitted a moment later, so the
// drop animation ends before the strip changes.
class QueueDragController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QueueStripModel* strip READ strip WRITE setStrip NOTIFY stripChanged)
    Q_PROPERTY(State state READ state NOTIFY stateChanged)
    Q_PROPERTY(QString draggedId READ draggedId NOTIFY stateChanged)
    Q_PROPERTY(QString gapId READ gapId NOTIFY stateChanged)
    Q_PROPERTY(bool gapIsLeft READ gapIsLeft NOTIFY stateChanged)

public:
    enum State { Idle, ExternalHover, InternalDrag };
    Q_ENUM(State)

    // Tiles are this wide; the gap changes side past these points (from the
    // tile's left edge on screen), so it does not flicker at the middle.
    static constexpr double tileWidth = 44;
    static constexpr double sideThreshold = 22;
    static constexpr double toLeftBelow = 11;
    static constexpr double toRightAbove = 33;
    static constexpr int actionDelayMs = 320;
    static constexpr int resetDelayMs = 350;

    using QObject::QObject;

    QueueStripModel* strip() const;
    void setStrip(QueueStripModel* strip);

    State state() const;
    QString draggedId() const { return m_draggedId; }
    QString gapId() const { return m_gapId; }
    bool gapIsLeft() const { return m_gapIsLeft; }

    // A tile starts being dragged: its gap opens on its left.
    Q_INVOKABLE void startDrag(const QString& id);
    // The pointer moves over a tile, at `x` from its left edge; returns the
    // action to propose (Qt::CopyAction from outside, Qt::MoveAction inside).
    Q_INVOKABLE int hoverTile(const QString& id, double x);
    // Over a gap or the background: the gap stays as it is.
    Q_INVOKABLE int proposedAction() const;

    // The group offset a drop lands at within `entries` (strip order): after
    // the gap's group when it is on the left, before it on the right; -1 when
    // no gap is open on any of them.
    Q_INVOKABLE int targetOffset(const QStringList& entries) const;

    // A drop on a tile or on a gap marker of `tileId`; `entries` are the strip
    // entries as shown. Returns whether the drop is accepted.
    Q_INVOKABLE bool dropOnTile(const QString& tileId, const QStringList& entries,
                                const QString& text);
    // A drop on the strip outside the tiles.
    Q_INVOKABLE bool dropOnBackground(const QString& text);
    // A drag of a tile ended nowhere: back to idle after the usual delay.
    Q_INVOKABLE void dragCancelled();

signals:
    void stripChanged();
    void stateChanged();
    // Library items dropped before the group at `group`.
    void insertRequested(const QStringList& ids, int group);
    // Whole folder groups dragged to `destination` (strip offsets).
    void moveRequested(const QList<int>& offsets, int destination);
    // A library item dropped with no gap open: to the end of the queue.
    void appendRequested(const QString& id);

private:
    void setGap(const QString& id, bool isLeft);
    void reset();
    void resetLater();
    QStringList currentEntries() const;

    QPointer<QueueStripModel> m_strip;
    QString m_draggedId;
    QString m_gapId;
    bool m_gapIsLeft = false;
};
