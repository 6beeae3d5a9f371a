#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// One pass over a folder's entries in the order the file system returns them,
// with the entry type the listing reports (no stat, no file opened). Hidden
// entries (names beginning with a dot) are left out, and so are names that
// are not valid UTF-8: no file URL could lead back to them.
struct DirectoryEntry {
    // Special: a FIFO, socket or device, which no reader should open.
    enum class Type { Directory, File, SymbolicLink, Special, Unknown };

    QByteArray nativeName;
    QString name;
    Type type = Type::Unknown;
};

struct DirectoryListing {
    std::vector<DirectoryEntry> entries;
    // Set when the folder could not be opened or reading it failed part-way;
    // `entries` then holds what was read before the failure.
    QString error;
    // Identity of the listed folder (valid when it could be opened).
    quint64 device = 0;
    quint64 inode = 0;
};

DirectoryListing listDirectory(const QByteArray& nativePath);

// Text of an errno value, e.g. "Permission denied".
QString systemErrorText(int error);
