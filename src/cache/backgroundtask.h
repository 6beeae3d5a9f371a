#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <utility>

// Runs `work` on the global thread pool and hands its result to `done` on
// the GUI thread, unless `receiver` is gone by then. `work` must not touch
// GUI-thread state; `done` may.
template <typename Work, typename Done>
void runInBackground(QObject* receiver, Work work, Done done) {
    QPointer<QObject> guard(receiver);
    QThreadPool::globalInstance()->start(
        [guard, work = std::move(work), done = std::move(done)]() mutable {
            auto result = work();
            // Gone while the application shuts down; nobody waits then.
            QCoreApplication* application = QCoreApplication::instance();
            if (!application)
                return;
            QMetaObject::invokeMethod(
                application,
                [guard, done = std::move(done), result = std::move(result)]() mutable {
                    if (guard)
                        done(std::move(result));
                },
                Qt::QueuedConnection);
        });
}
