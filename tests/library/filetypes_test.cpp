#include "library/filetypes.h"

#include <gtest/gtest.h>

struct FileTypeCase {
    const char* name;
    bool isAudio;
    bool isImage;
};

class FileTypes : public ::testing::TestWithParam<FileTypeCase> {};

TEST_P(FileTypes, ClassifiesByTheLowerCasedExtension) {
    const FileTypeCase& row = GetParam();
    const QString name = QString::fromUtf8(row.name);
    EXPECT_EQ(isAudioFileName(name), row.isAudio) << row.name;
    EXPECT_EQ(isImageFileName(name), row.isImage) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Library, FileTypes,
    ::testing::Values(FileTypeCase{"song.mp3", true, false}, FileTypeCase{"SONG.MP3", true, false},
                      FileTypeCase{"a.FlAc", true, false}, FileTypeCase{"a.m4a", true, false},
                      FileTypeCase{"a.wav", true, false}, FileTypeCase{"a.aac", true, false},
                      FileTypeCase{"a.mp3.txt", false, false}, FileTypeCase{"mp3", false, false},
                      FileTypeCase{"a.", false, false}, FileTypeCase{"a.mp", false, false},
                      FileTypeCase{"a.mp33", false, false}, FileTypeCase{"a.ogg", false, false},
                      FileTypeCase{"/dir.mp3/file", false, false},
                      FileTypeCase{"file:///music/Caf%C3%A9.mp3", true, false},
                      FileTypeCase{"cover.JPEG", false, true}, FileTypeCase{"x.webp", false, true},
                      FileTypeCase{"x.png", false, true}, FileTypeCase{"x.gif", false, false},
                      // Non-ASCII extensions go through lower-casing and match nothing here.
                      FileTypeCase{"x.mp\xc3\xa9", false, false},
                      FileTypeCase{"x.\xc3\x89", false, false}));
