#include "support/unwrittenfifo.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

UnwrittenFifo::UnwrittenFifo(const QString& path, int graceMs) : m_path(path) {
    const QByteArray name = QFile::encodeName(path);
    m_created = mkfifo(name.constData(), 0644) == 0;
    m_watchdog = std::thread([this, name, graceMs] {
        std::unique_lock lock(m_mutex);
        auto wait = std::chrono::milliseconds(graceMs);
        while (!m_changed.wait_for(lock, wait, [this] { return m_stopping; })) {
            // Succeeds only while a reader has it open or waits to.
            const int fd = open(name.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                m_released = true;
                close(fd);
            }
            wait = std::chrono::milliseconds(50);
        }
    });
}

UnwrittenFifo::~UnwrittenFifo() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_watchdog.join();
    QFile::remove(m_path);
}

} // namespace testsupport
