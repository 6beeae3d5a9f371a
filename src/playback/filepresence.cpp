#include "playback/filepresence.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qint64 placeholderLimit = 4096;
constexpr int headBytes = 4096;

bool looksSparse(qint64 allocated, qint64 size) {
    return allocated < placeholderLimit && size > placeholderLimit;
}

// The file's first bytes; nothing when it cannot be opened or read. Never
// waits on a FIFO or a device: only regular files are read.
std::optional<QByteArray> readHead(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray head(headBytes, Qt::Uninitialized);
    const ssize_t got = ::read(fd, head.data(), head.size());
    ::close(fd);
    if (got <= 0)
        return std::nullopt;
    head.truncate(got);
    return head;
}
} // namespace

FilePresence placeholderRule(qint64 allocatedBytes, qint64 sizeBytes,
                             const std::optional<QByteArray>& head) {
    if (!looksSparse(allocatedBytes, sizeBytes))
        return FilePresence::Present;
    const bool hole = head && head->count('\0') == head->size();
    return !head || head->isEmpty() || hole ? FilePresence::Placeholder : FilePresence::Present;
}

FilePresence filePresence(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    // A path that cannot be examined at all counts as missing, like one that is gone.
    if (::stat(native.constData(), &info) != 0)
        return FilePresence::Missing;
    const qint64 allocated = static_cast<qint64>(info.st_blocks) * 512;
    const qint64 size = static_cast<qint64>(info.st_size);
    if (!S_ISREG(info.st_mode) || !looksSparse(allocated, size))
        return FilePresence::Present;
    return placeholderRule(allocated, size, readHead(native));
}
