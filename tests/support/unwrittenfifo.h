#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace testsupport {

// A FIFO that nobody writes to: opening it for reading blocks. Should the
// code under test block on it anyway, a watchdog opens it for writing after
// `graceMs` (and again every 50 ms), which ends the blocked open, so the test
// fails instead of hanging.
class UnwrittenFifo {
public:
    explicit UnwrittenFifo(const QString& path, int graceMs = 8000);
    ~UnwrittenFifo();
    UnwrittenFifo(const UnwrittenFifo&) = delete;
    UnwrittenFifo& operator=(const UnwrittenFifo&) = delete;

    bool created() const { return m_created; }
    // Whether a reader was blocked on it and had to be released.
    bool releasedAReader() const { return m_released; }

private:
    QString m_path;
    bool m_created = false;
    std::atomic<bool> m_released{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::thread m_watchdog;
};

} // namespace testsupport
