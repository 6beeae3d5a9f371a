#pragma once

#include <QString>

// How much of a file is on disk. Without a cloud provider a file still being
// placed shows up as missing or as a sparse placeholder: almost nothing
// allocated behind a larger size.
enum class FilePresence { Missing, Placeholder, Present };

FilePresence filePresence(const QString& path);
