#pragma once

#include <QFile>
#include <QString>
#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

// Opening it for reading blocks; after 8 s a watchdog opens it for writing
// (every 50 ms), ending a blocked open: the test fails instead of hanging.
class UnwrittenFifo {
public:
    explicit UnwrittenFifo(const QString& path) : m_path(path) {
        const QByteArray name = QFile::encodeName(path);
        m_created = mkfifo(name.constData(), 0644) == 0;
        m_watchdog = std::thread([this, name] {
            for (int waitedMs = 0; !m_stopping; waitedMs += 10) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                // Opening succeeds only while a reader has it open or waits to.
                if (waitedMs >= 8000 && waitedMs % 50 == 0)
                    if (const int fd = open(name.constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                        m_released = true, close(fd);
            }
        });
    }
    ~UnwrittenFifo() {
        m_stopping = true;
        m_watchdog.join();
        QFile::remove(m_path);
    }
    UnwrittenFifo(const UnwrittenFifo&) = delete;
    bool created() const { return m_created; }
    bool releasedAReader() const { return m_released; }

private:
    QString m_path;
    bool m_created = false;
    std::atomic<bool> m_released{false}, m_stopping{false};
    std::thread m_watchdog;
};

} // namespace testsupport
