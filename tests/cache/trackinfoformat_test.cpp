#include "cache/trackinfoformat.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

// KB below a megabyte; the index shows one decimal of kHz, the stream none.
TEST(TrackInfoText, DisplayTexts) {
    EXPECT_EQ(QStringList({formatFileSize(0), formatFileSize(1499), formatFileSize(999'999),
                           formatFileSize(1'000'000), formatFileSize(1'049'999),
                           formatFileSize(5'360'000), formatFileSize(1'234'000'000),
                           formatFallbackFileSize(4'600'000), formatFallbackFileSize(999'999)})
                  .join('|'),
              "0 KB|1 KB|1000 KB|1.0 MB|1.0 MB|5.4 MB|1234.0 MB|5 MB|1 MB");
    EXPECT_EQ(QStringList({formatIndexSampleRate(8000), formatIndexSampleRate(1000),
                           formatIndexSampleRate(999), formatStreamSampleRate(96000),
                           formatStreamSampleRate(1000), formatStreamSampleRate(800)})
                  .join('|'),
              "8.0 kHz|1.0 kHz|999 Hz|96 kHz|1 kHz|800 Hz");
    EXPECT_EQ(QStringList({formatFileType("/m/a.b/Song.Mp3"), formatFileType("/m/a.b/Song"),
                           formatFileType("/m/a/.hidden"), joinArtists({"Solo"})})
                  .join('|'),
              "MP3|||Solo");
}

} // namespace
