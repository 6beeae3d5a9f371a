#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// The stored permission to use the media folder: the folder's path with the
// device and inode it had when the user chose it, kept as opaque bytes.
//
// Resolving fails when the bytes are unreadable or the folder is gone; it is
// stale when the path now holds another folder (the grant should be saved
// again). Access is granted while the folder is readable; the access calls
// keep count of the accesses held, on the GUI thread.
class FolderGrant {
public:
    // Fails when `folder` is not an existing folder; `error` says why.
    static std::optional<FolderGrant> create(const QUrl& folder, QString* error);

    QByteArray toBytes() const;

    struct Resolution {
        QUrl url;
        bool isStale = false;
    };
    static std::optional<Resolution> resolve(const QByteArray& bytes, QString* error);

    static bool startAccessing(const QUrl& folder);
    static void stopAccessing(const QUrl& folder);
    // Accesses started and not yet stopped.
    static int accessCount(const QUrl& folder);

    const QString& path() const { return m_path; }

private:
    QString m_path;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};
