#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// How much of a file is on disk. Without a cloud provider a file still being
// placed shows up as missing or as a sparse placeholder: almost nothing
// allocated behind a larger size, and nothing to read at its start.
enum class FilePresence { Missing, Placeholder, Present };

FilePresence filePresence(const QString& path);

// The rule for a file that exists. Filesystems that compress or report no
// blocks at all (FUSE) also show little allocated behind a large size, so the
// file counts as a placeholder only when its first bytes are unreadable
// (`head` empty: the read failed or gave nothing) or a hole (all zeros).
// `head` is only consulted for such sparse-looking files.
FilePresence placeholderRule(qint64 allocatedBytes, qint64 sizeBytes,
                             const std::optional<QByteArray>& head);
