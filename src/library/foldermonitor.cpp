#include "library/foldermonitor.h"

#include <QFileInfo>

FolderMonitor* FolderMonitor::watch(const QString& folderPath, QObject* parent) {
    // Checked first: the watcher warns on stderr about paths it cannot add.
    if (folderPath.isEmpty() || !QFileInfo(folderPath).isDir())
        return nullptr;
    auto* monitor = new FolderMonitor(folderPath, parent);
    if (!monitor->m_watcher.addPath(folderPath)) {
        delete monitor;
        return nullptr;
    }
    return monitor;
}

FolderMonitor::FolderMonitor(const QString& folderPath, QObject* parent)
    : QObject(parent), m_folderPath(folderPath) {
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderMonitor::changed);
}
