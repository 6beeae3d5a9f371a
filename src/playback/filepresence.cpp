#include "playback/filepresence.h"

#include <QFile>
#include <sys/stat.h>

namespace {
constexpr qint64 placeholderLimit = 4096;
}

FilePresence filePresence(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    // A path that cannot be examined at all counts as missing, like one that is gone.
    if (::stat(native.constData(), &info) != 0)
        return FilePresence::Missing;
    const qint64 allocated = static_cast<qint64>(info.st_blocks) * 512;
    const qint64 size = static_cast<qint64>(info.st_size);
    if (allocated < placeholderLimit && size > placeholderLimit)
        return FilePresence::Placeholder;
    return FilePresence::Present;
}
