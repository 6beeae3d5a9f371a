#include "library/foldergrant.h"

#include "library/directorylisting.h"
#include "library/mediaitem.h"

#include <QDataStream>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr quint32 kMagic = 0x54475254; // "TGRT"
constexpr quint8 kVersion = 1;

QHash<QString, int>& accessCounts() {
    static QHash<QString, int> counts;
    return counts;
}

// Stats a folder; on failure returns the reason.
std::optional<QString> statFolder(const QString& path, struct stat* info) {
    if (stat(QFile::encodeName(path).constData(), info) != 0)
        return path + QStringLiteral(": ") + systemErrorText(errno);
    if (!S_ISDIR(info->st_mode))
        return path + QStringLiteral(": ") + systemErrorText(ENOTDIR);
    return std::nullopt;
}
} // namespace

std::optional<FolderGrant> FolderGrant::create(const QUrl& folder, QString* error) {
    const QString path = normalizedPath(folder);
    struct stat info;
    if (!folder.isLocalFile() || path.isEmpty()) {
        *error = QStringLiteral("Not a local folder: ") + folder.toString();
        return std::nullopt;
    }
    if (const auto failure = statFolder(path, &info)) {
        *error = *failure;
        return std::nullopt;
    }
    FolderGrant grant;
    grant.m_path = path;
    grant.m_device = info.st_dev;
    grant.m_inode = info.st_ino;
    return grant;
}

QByteArray FolderGrant::toBytes() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << kMagic << kVersion << m_path << m_device << m_inode;
    return bytes;
}

std::optional<FolderGrant::Resolution> FolderGrant::resolve(const QByteArray& bytes,
                                                            QString* error) {
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0;
    quint8 version = 0;
    QString path;
    quint64 device = 0;
    quint64 inode = 0;
    in >> magic >> version >> path >> device >> inode;
    if (in.status() != QDataStream::Ok || !in.atEnd() || magic != kMagic || version != kVersion ||
        !path.startsWith(QLatin1Char('/'))) {
        *error = QStringLiteral("The folder grant is not readable.");
        return std::nullopt;
    }
    struct stat info;
    if (const auto failure = statFolder(path, &info)) {
        *error = *failure;
        return std::nullopt;
    }
    Resolution resolution;
    resolution.url = QUrl::fromLocalFile(path);
    resolution.isStale = quint64(info.st_dev) != device || quint64(info.st_ino) != inode;
    return resolution;
}

bool FolderGrant::startAccessing(const QUrl& folder) {
    const QString path = normalizedPath(folder);
    struct stat info;
    if (!folder.isLocalFile() || statFolder(path, &info) ||
        access(QFile::encodeName(path).constData(), R_OK | X_OK) != 0)
        return false;
    ++accessCounts()[path];
    return true;
}

void FolderGrant::stopAccessing(const QUrl& folder) {
    const QString path = normalizedPath(folder);
    auto it = accessCounts().find(path);
    if (it == accessCounts().end())
        return;
    if (--it.value() <= 0)
        accessCounts().erase(it);
}

int FolderGrant::accessCount(const QUrl& folder) {
    return accessCounts().value(normalizedPath(folder));
}
