#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>

// Watches one folder's own entries (created, deleted, renamed, moved in or
// out); changes inside its sub-folders are not reported. Deleting the
// monitor ends the watch.
class FolderMonitor : public QObject {
    Q_OBJECT
public:
    // Nothing when the folder cannot be watched.
    static FolderMonitor* watch(const QString& folderPath, QObject* parent);

    const QString& folderPath() const { return m_folderPath; }

signals:
    // Once per batch of changes the system reports, on the monitor's thread.
    void changed();

private:
    FolderMonitor(const QString& folderPath, QObject* parent);

    QString m_folderPath;
    QFileSystemWatcher m_watcher;
};
