#include "cache/trackinfoformat.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

// Sizes in kilobytes below a megabyte; the index keeps one decimal of the
// sample rate in kilohertz, the stream's rate none.
TEST(TrackInfoText, DisplayTexts) {
    const std::pair<QString, const char*> rows[] = {
        {formatFileSize(0), "0 KB"},
        {formatFileSize(1499), "1 KB"},
        {formatFileSize(999'999), "1000 KB"},
        {formatFileSize(1'000'000), "1.0 MB"},
        {formatFileSize(1'049'999), "1.0 MB"},
        {formatFileSize(5'360'000), "5.4 MB"},
        {formatFileSize(1'234'000'000), "1234.0 MB"},
        {formatFallbackFileSize(4'600'000), "5 MB"},
        {formatFallbackFileSize(999'999), "1 MB"},
        {formatIndexSampleRate(8000), "8.0 kHz"},
        {formatIndexSampleRate(1000), "1.0 kHz"},
        {formatIndexSampleRate(999), "999 Hz"},
        {formatStreamSampleRate(96000), "96 kHz"},
        {formatStreamSampleRate(1000), "1 kHz"},
        {formatStreamSampleRate(800), "800 Hz"},
        {formatFileType("/m/a.b/Song.Mp3"), "MP3"},
        {formatFileType("/m/a.b/Song"), ""},
        {formatFileType("/m/a/.hidden"), ""},
        {joinArtists({"Solo"}), "Solo"},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(text, expected);
}

} // namespace
