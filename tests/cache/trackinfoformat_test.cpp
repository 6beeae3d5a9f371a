#include "cache/trackinfoformat.h"

#include <gtest/gtest.h>

namespace {

struct SizeCase {
    qint64 bytes;
    const char* text;
};

class FileSizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FileSizeText, UsesKilobytesBelowOneMegabyte) {
    EXPECT_EQ(formatFileSize(GetParam().bytes).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileSizeText,
    ::testing::Values(SizeCase{0, "0 KB"}, SizeCase{1499, "1 KB"}, SizeCase{999'999, "1000 KB"},
                      SizeCase{1'000'000, "1.0 MB"}, SizeCase{1'049'999, "1.0 MB"},
                      SizeCase{5'360'000, "5.4 MB"}, SizeCase{1'234'000'000, "1234.0 MB"}),
    [](const auto& info) { return std::to_string(info.param.bytes); });

struct RateCase {
    double hertz;
    const char* index;
    const char* stream;
};

class SampleRateText : public ::testing::TestWithParam<RateCase> {};

TEST_P(SampleRateText, IndexKeepsOneDecimalStreamNone) {
    EXPECT_EQ(formatIndexSampleRate(GetParam().hertz).toStdString(), GetParam().index);
    EXPECT_EQ(formatStreamSampleRate(GetParam().hertz).toStdString(), GetParam().stream);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SampleRateText,
    ::testing::Values(RateCase{44100, "44.1 kHz", "44 kHz"}, RateCase{48000, "48.0 kHz", "48 kHz"},
                      RateCase{8000, "8.0 kHz", "8 kHz"}, RateCase{96000, "96.0 kHz", "96 kHz"},
                      RateCase{1000, "1.0 kHz", "1 kHz"}, RateCase{999, "999 Hz", "999 Hz"},
                      RateCase{800, "800 Hz", "800 Hz"}),
    [](const auto& info) { return std::to_string(static_cast<int>(info.param.hertz)); });

TEST(TrackInfoText, FallbackSizeIsWholeMegabytes) {
    EXPECT_EQ(formatFallbackFileSize(4'600'000).toStdString(), "5 MB");
    EXPECT_EQ(formatFallbackFileSize(999'999).toStdString(), "1 MB");
}

TEST(TrackInfoText, BitDepthHasNoSpace) {
    EXPECT_EQ(formatBitDepth(24).toStdString(), "24bit");
    EXPECT_EQ(formatBitDepth(16).toStdString(), "16bit");
}

TEST(TrackInfoText, FileTypeIsTheUppercasedExtension) {
    EXPECT_EQ(formatFileType("/m/a/Song.flac").toStdString(), "FLAC");
    EXPECT_EQ(formatFileType("/m/a.b/Song.Mp3").toStdString(), "MP3");
    EXPECT_EQ(formatFileType("/m/a.b/Song").toStdString(), "");
    EXPECT_EQ(formatFileType("/m/a/.hidden").toStdString(), "");
}

TEST(TrackInfoText, ArtistsAreJoinedWithCommaAndSpace) {
    EXPECT_EQ(joinArtists({"Ann", "Bo"}).toStdString(), "Ann, Bo");
    EXPECT_EQ(joinArtists({"Solo"}).toStdString(), "Solo");
}

} // namespace
