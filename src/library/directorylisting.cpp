#include "library/directorylisting.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

QString systemErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

static DirectoryEntry::Type typeOf(unsigned char type) {
    switch (type) {
    case DT_DIR:
        return DirectoryEntry::Type::Directory;
    case DT_LNK:
        return DirectoryEntry::Type::SymbolicLink;
    case DT_REG:
        return DirectoryEntry::Type::File;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
        return DirectoryEntry::Type::Special;
    default:
        return DirectoryEntry::Type::Unknown;
    }
}

static bool isAscii(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    }
    return true;
}

DirectoryListing listDirectory(const QByteArray& nativePath) {
    DirectoryListing listing;
    DIR* dir = opendir(nativePath.constData());
    if (!dir) {
        listing.error = systemErrorText(errno);
        return listing;
    }
    struct stat info;
    if (fstat(dirfd(dir), &info) == 0) {
        listing.device = info.st_dev;
        listing.inode = info.st_ino;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            if (errno != 0)
                listing.error = systemErrorText(errno);
            break;
        }
        if (entry->d_name[0] == '.')
            continue;
        const size_t length = std::strlen(entry->d_name);
        DirectoryEntry item;
        item.nativeName = QByteArray(entry->d_name, qsizetype(length));
        item.name = QString::fromUtf8(item.nativeName);
        if (!isAscii(entry->d_name, length) && item.name.toUtf8() != item.nativeName)
            continue;
        item.type = typeOf(entry->d_type);
        listing.entries.push_back(std::move(item));
    }
    closedir(dir);
    return listing;
}
