#include "playback/waveformcache.h"
#include "playback/waveformgenerator.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// A 32-bit float WAV at 8 kHz holding exactly the given interleaved samples.
void writeFloatWav(const QString& path, const std::vector<float>& samples, int channels) {
    writeFile(path + ".raw", QByteArray(reinterpret_cast<const char*>(samples.data()),
                                        qsizetype(samples.size() * sizeof(float))));
    ASSERT_EQ(runProgram("ffmpeg", {"-v", "error", "-f", "f32le", "-ar", "8000", "-ac",
                                    QString::number(channels), "-i", path + ".raw", "-c:a",
                                    "pcm_f32le", path}),
              0);
}

// 1,500 values, the largest (and the last) as given, or nothing (and an error).
TEST(WaveformGenerator, FilesGiveFifteenHundredValuesScaledToOneOrNothing) {
    QTemporaryDir dir;
    auto path = [&](const QString& name) { return dir.filePath(name); };
    ASSERT_TRUE(makeAudioFile(path("tone.m4a"), {.seconds = 0.5, .channels = 2}));
    ASSERT_TRUE(makeAudioFile(path("quiet.wav"), {.seconds = 0.5, .source = "silence"}));
    ASSERT_TRUE(makeAudioFile(path("whole.flac"), {.seconds = 1.0}));
    const QByteArray whole = readFile(path("whole.flac"));
    writeFile(path("half.flac"), whole.left(whole.size() / 2));
    writeFile(path("text.mp3"), "this is no audio at all, only words");
    writeFloatWav(path("short.wav"), std::vector<float>(1499, 0.5f), 1);
    writeFloatWav(path("just.wav"), std::vector<float>(1500, 0.5f), 1);
    const struct {
        const char* name;
        std::optional<float> largest, last;
        bool error = false; // printed
    } rows[] = {
        {"tone.m4a", 1, {}},        {"quiet.wav", 0, 0},   // without dividing by zero
        {"half.flac", 1, 0},                               // keeps its length, silent at the end
        {"just.wav", 1, 1},         {"short.wav", {}, {}}, // fewer frames than buckets
        {"text.mp3", {}, {}, true}, {"missing.flac", {}, {}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<QList<float>> values;
        const QStringList lines =
            capturedLines([&] { values = generateWaveform(QUrl::fromLocalFile(path(row.name))); });
        ASSERT_EQ(values.has_value(), row.largest.has_value());
        EXPECT_EQ(lines.filter(QRegularExpression("^Error generating waveform: .")).size(),
                  lines.size());
        EXPECT_EQ(lines.size(), row.error ? 1 : 0);
        if (!values)
            continue;
        EXPECT_EQ(values->size(), waveformBucketCount);
        EXPECT_EQ(*std::max_element(values->cbegin(), values->cend()), *row.largest);
        if (row.last)
            EXPECT_EQ(values->last(), *row.last);
    }
}

// Bucket i of 2 frames: the left channel at +-(i % 4 + 1) / 8 (the loudest, RMS
// 0.5, becomes 1.0), the right always loud, a loud dropped trailing frame.
TEST(WaveformGenerator, RmsPerBucketOfTheFirstChannelOnly) {
    std::vector<float> samples;
    for (int i = 0; i < waveformBucketCount; ++i) {
        const float level = float(i % 4 + 1) / 8.0f;
        samples.insert(samples.end(), {level, 1.0f, -level, -1.0f});
    }
    samples.insert(samples.end(), {1.0f, 1.0f});
    QTemporaryDir dir;
    writeFloatWav(dir.filePath("steps.wav"), samples, 2);
    const auto values = generateWaveform(QUrl::fromLocalFile(dir.filePath("steps.wav")));
    ASSERT_TRUE(values && values->size() == waveformBucketCount);
    for (int i : {0, 1, 2, 3, 4, 1497, 1498, 1499})
        EXPECT_FLOAT_EQ((*values)[i], float(i % 4 + 1) / 4.0f) << i;
}

// Floats come back exactly; all but arrays of numbers are refused, and short
// arrays count as missing.
TEST(WaveformCacheFile, KeepsFloatsExactlyAndRefusesAllButLongArraysOfNumbers) {
    QList<float> values;
    for (int i = 0; i < 1500; ++i)
        values.append(std::sqrt(float(i)) / std::sqrt(1499.0f));
    EXPECT_EQ(decodeWaveform(encodeWaveform(values)), values);
    for (const char* bad : {"{\"a\":1}", "[0.5, \"x\"]", "[0.5, "})
        EXPECT_FALSE(decodeWaveform(bad)) << bad;
    EXPECT_TRUE(decodeWaveform("[]"));
    QTemporaryDir dir; // short arrays count as missing
    const QString file = dir.filePath("w.json");
    writeFile(file, encodeWaveform(QList<float>(1000, 0.25f)));
    EXPECT_FALSE(readCachedWaveform(file));
    writeFile(file, encodeWaveform(QList<float>(1001, 0.25f)));
    EXPECT_EQ(readCachedWaveform(file), QList<float>(1001, 0.25f));
}

} // namespace
