#include "cache/atomicfilewriter.h"

#include <QCoreApplication>
#include <QSaveFile>

AtomicFileWriter& AtomicFileWriter::shared() {
    static AtomicFileWriter writer;
    // Writes still waiting when the application object goes away are done
    // then: encoders (PNG, JSON) must not run among the static objects that
    // are destroyed after main returns.
    static const bool drainsAtExit = [] {
        qAddPostRoutine([] { writer.waitForIdle(); });
        return true;
    }();
    Q_UNUSED(drainsAtExit)
    return writer;
}

AtomicFileWriter::AtomicFileWriter() : m_thread([this] { run(); }) {}

AtomicFileWriter::~AtomicFileWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void AtomicFileWriter::write(const QString& path, Encoder encode, Completion done) {
    {
        std::lock_guard lock(m_mutex);
        auto same = std::find_if(m_pending.begin(), m_pending.end(),
                                 [&](const Job& job) { return job.path == path; });
        if (same == m_pending.end())
            same = m_pending.insert(m_pending.end(), {path, {}, {}});
        same->encode = std::move(encode);
        if (done)
            same->done.push_back(std::move(done));
    }
    m_wake.notify_one();
}

void AtomicFileWriter::write(const QString& path, QByteArray bytes, Completion done) {
    write(
        path, [bytes = std::move(bytes)](QString*) { return bytes; }, std::move(done));
}

void AtomicFileWriter::waitForIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.empty() && !m_busy; });
}

QString AtomicFileWriter::writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

void AtomicFileWriter::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
            if (m_pending.empty()) // stopping with nothing left to write
                return;
            job = std::move(m_pending.front());
            m_pending.pop_front();
            m_busy = true;
        }
        QString error;
        const QByteArray bytes = job.encode(&error);
        if (error.isEmpty())
            error = writeAtomically(job.path, bytes);
        for (const Completion& done : job.done)
            done(error);
        {
            std::lock_guard lock(m_mutex);
            m_busy = false;
        }
        m_idle.notify_all();
    }
}
