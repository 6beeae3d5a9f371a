#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

// One running program per session, so that two never rewrite the same cache
// files from their own memory. The first instance claims a name on the
// session bus; a later one hands its folder to it there and ends. Without a
// session bus every instance runs on its own. GUI thread only.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tolvane.Tolvane")

public:
    static inline const QString serviceName = QStringLiteral("org.tolvane.Tolvane");
    static inline const QString objectPath = QStringLiteral("/org/tolvane/Tolvane");

    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);

    // Claims the name, or hands `folder` (an absolute path, or empty) to the
    // instance that holds it. Nothing: this process runs on (it is the first,
    // or there is no bus). Otherwise the exit code for this process: 0 once
    // the running instance has taken the folder, 1 when it did not answer.
    std::optional<int> claimOrHandOver(const QString& folder);

    // What the first instance does with a folder handed to it.
    void setFolderHandler(std::function<void(const QString& folder)> handler) {
        m_folderHandler = std::move(handler);
    }

public slots:
    // Called over the bus by a later instance: opens the folder (if any) and
    // brings the window forward.
    Q_SCRIPTABLE void Open(const QString& folder);

private:
    QDBusConnection m_bus;
    std::function<void(const QString&)> m_folderHandler;
};
