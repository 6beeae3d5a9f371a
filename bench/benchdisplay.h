#pragma once

// An X server of its own for a benchmark that runs the real program, and a
// wait that keeps the benchmark's event loop turning.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <functional>

namespace {

// Waits, turning the event loop, until `done` holds or `timeoutMs` passes.
bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

// Xvfb on the first free display number from a per-process start, 1400x900.
class VirtualDisplay {
public:
    bool start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return false;
        for (int number = 90 + int(QCoreApplication::applicationPid() % 50); number < 200;
             ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            m_name = QStringLiteral(":%1").arg(number);
            m_server.start(program, {m_name, QStringLiteral("-screen"), QStringLiteral("0"),
                                     QStringLiteral("1400x900x24"), QStringLiteral("-nolisten"),
                                     QStringLiteral("tcp")});
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            if (waitFor([&] { return QFile::exists(socket); }, 5000))
                return true;
            m_server.kill();
            m_server.waitForFinished();
        }
        return false;
    }
    ~VirtualDisplay() {
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    QString name() const { return m_name; }

private:
    QProcess m_server;
    QString m_name;
};

} // namespace
