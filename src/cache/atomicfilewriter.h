#pragma once

#include <QByteArray>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Writes cache files from one background thread, in the order of the calls.
//
// Each file is written to a temporary file in the same directory and renamed
// into place, so a reader sees the old or the new content, never a part.
// A write still waiting for its turn is replaced by a newer write to the same
// path (a burst of saves lands as its last value); the completions of both
// run, each told the outcome of the write that happened. The encoding runs on
// the writer thread too, so callers capture values and return at once.
class AtomicFileWriter {
public:
    // Produces the bytes to write, or an error text in `error`.
    using Encoder = std::function<QByteArray(QString* error)>;
    // Told the outcome on the writer thread; `error` is empty on success.
    using Completion = std::function<void(const QString& error)>;

    static AtomicFileWriter& shared();

    AtomicFileWriter();
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void write(const QString& path, Encoder encode, Completion done = {});
    void write(const QString& path, QByteArray bytes, Completion done = {});
    // Blocks until every write requested so far has finished.
    void waitForIdle();

    // Writes bytes through a temporary file and a rename; returns an error text or "".
    static QString writeAtomically(const QString& path, const QByteArray& bytes);

private:
    struct Job {
        QString path;
        Encoder encode;
        // Of this write and of every write it replaced, in call order.
        std::vector<Completion> done;
    };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_pending;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
