#pragma once

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class PlayerProgress;

// What a drag over the scrubber does to the progress: while it moves the time
// follows the pointer (and the player's updates hold off); when it ends the
// player seeks there. Positions are in the scrubber's own coordinates.
class ScrubberGesture : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(PlayerProgress* progress READ progress WRITE setProgress NOTIFY progressChanged)

public:
    using QObject::QObject;

    // The span the full width stands for: the duration, at least one second.
    static double span(double duration);
    // The time at `x` across `width`, clamped to 0 ... span.
    static double timeAt(double x, double width, double duration);

    PlayerProgress* progress() const { return m_progress; }
    void setProgress(PlayerProgress* progress);

    // Both do nothing while the duration is 0 (nothing loaded).
    Q_INVOKABLE void moveTo(double x, double width);
    Q_INVOKABLE void finishAt(double x, double width);

signals:
    void progressChanged();
    // The drag ended here; the view model seeks.
    void seekRequested(double seconds);

private:
    QPointer<PlayerProgress> m_progress;
};
