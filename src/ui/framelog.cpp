#include "ui/framelog.h"

#include <QQuickWindow>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kProbeIntervalMs = 5;

double clockMs(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double monotonicMs() {
    return clockMs(CLOCK_MONOTONIC);
}

class FrameLog : public QObject {
public:
    FrameLog(QQuickWindow* window, std::FILE* file) : QObject(window), m_file(file) {
        // Emitted on the render thread when there is one: connected directly,
        // they touch only this thread's two times and the file, whose writes
        // stdio serialises.
        connect(
            window, &QQuickWindow::beforeSynchronizing, this,
            [this] { m_syncStart = monotonicMs(); }, Qt::DirectConnection);
        connect(
            window, &QQuickWindow::frameSwapped, this, [this] { frameShown(); },
            Qt::DirectConnection);
        m_probe.setTimerType(Qt::PreciseTimer);
        m_probe.setSingleShot(true);
        connect(&m_probe, &QTimer::timeout, this, &FrameLog::probe);
        armProbe();
    }
    ~FrameLog() override { std::fclose(m_file); }

private:
    void frameShown() {
        const double now = monotonicMs();
        std::fprintf(m_file, "frame %.3f %.3f %.3f\n", now, m_lastSwap > 0 ? now - m_lastSwap : 0.0,
                     m_syncStart > 0 ? now - m_syncStart : 0.0);
        m_lastSwap = now;
    }

    // A single shot re-armed each time, so a late tick is not followed by a
    // burst of catching-up ones.
    void armProbe() {
        m_due = monotonicMs() + kProbeIntervalMs;
        m_cpuAtArm = clockMs(CLOCK_THREAD_CPUTIME_ID);
        m_probe.start(kProbeIntervalMs);
    }

    void probe() {
        const double now = monotonicMs();
        std::fprintf(m_file, "late %.3f %.3f %.3f\n", now, now - m_due,
                     clockMs(CLOCK_THREAD_CPUTIME_ID) - m_cpuAtArm);
        armProbe();
    }

    std::FILE* m_file;
    QTimer m_probe;
    double m_due = 0;
    double m_cpuAtArm = 0;
    // Render thread.
    double m_syncStart = 0;
    double m_lastSwap = 0;
};

} // namespace

void startFrameLogIfRequested(QQuickWindow* window) {
    const QByteArray path = qgetenv("TOLVANE_FRAME_LOG");
    if (path.isEmpty() || !window)
        return;
    std::FILE* file = std::fopen(path.constData(), "w");
    if (!file) {
        std::fprintf(stderr, "cannot write the frame log %s\n", path.constData());
        return;
    }
    // A line at a time, so the file is whole however the program ends.
    std::setvbuf(file, nullptr, _IOLBF, 0);
    new FrameLog(window, file);
}
