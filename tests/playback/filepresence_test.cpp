#include "playback/filepresence.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 fiveMB = 5 * 1024 * 1024;

struct PresenceCase {
    const char* name;
    qint64 allocated;
    qint64 size;
    std::optional<QByteArray> head;
    FilePresence expected;
};

// FUSE filesystems report no blocks and btrfs/ZFS count compressed blocks:
// a readable file there plays and is no placeholder.
TEST(FilePresenceTest, SparseLookingFileIsAPlaceholderOnlyWhenItsStartIsUnreadable) {
    const QByteArray flacStart = QByteArray("fLaC") + QByteArray(60, '\x22');
    const PresenceCase cases[] = {
        {"no blocks reported, data readable", 0, fiveMB, flacStart, FilePresence::Present},
        {"compressed, data readable", 2048, fiveMB, flacStart, FilePresence::Present},
        {"hole at the start", 0, fiveMB, QByteArray(4096, '\0'), FilePresence::Placeholder},
        {"read fails", 0, fiveMB, std::nullopt, FilePresence::Placeholder},
        {"read gives nothing", 0, fiveMB, QByteArray(), FilePresence::Placeholder},
        {"allocated, unreadable", 8192, fiveMB, std::nullopt, FilePresence::Present},
        {"small file", 0, 1000, std::nullopt, FilePresence::Present},
    };
    for (const PresenceCase& row : cases)
        EXPECT_EQ(placeholderRule(row.allocated, row.size, row.head), row.expected) << row.name;
}

} // namespace
