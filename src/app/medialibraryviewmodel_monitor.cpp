#include "base/console.h"
#include "app/medialibraryviewmodel.h"
#include "library/foldermonitor.h"

#include <QTimer>

void MediaLibraryViewModel::startMonitoring(const QUrl& folder) {
    delete m_folderMonitor;
    m_folderMonitor = nullptr;
    const QString path = normalizedPath(folder);
    m_folderMonitor = FolderMonitor::watch(path, this);
    if (!m_folderMonitor)
        return;
    connect(m_folderMonitor, &FolderMonitor::changed, this,
            [this, path] { folderDidChange(path); });
}

// Every change restarts the wait, so a burst of changes gives one refresh.
// A refresh already under way is not stopped by later changes.
void MediaLibraryViewModel::folderDidChange(const QString& path) {
    printLine(QStringLiteral("Detected file system change in: ") + path);
    if (!m_refreshTask) {
        m_refreshTask = new QTimer(this);
        m_refreshTask->setSingleShot(true);
        m_refreshTask->setTimerType(Qt::PreciseTimer);
        m_refreshTask->setInterval(m_refreshDebounceMs);
        connect(m_refreshTask, &QTimer::timeout, this, [this] {
            printLine(QStringLiteral("Debounce complete. Triggering refresh."));
            refreshLibrary();
        });
    }
    m_refreshTask->start();
}
