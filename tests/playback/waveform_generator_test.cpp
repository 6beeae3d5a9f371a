#include "playback/waveformcache.h"
#include "playback/waveformgenerator.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QDataStream>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class WaveformGenerator : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.path() + '/' + name; }
    std::optional<QList<float>> waveform(const QString& name) {
        return generateWaveform(QUrl::fromLocalFile(path(name)));
    }
    QTemporaryDir dir;
};

float largest(const QList<float>& values) {
    return *std::max_element(values.cbegin(), values.cend());
}

// A 32-bit float WAV holding exactly the given (interleaved) samples.
void writeFloatWav(const QString& path, const std::vector<float>& samples, int channels) {
    const int rate = 8000;
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    const quint32 bytes = static_cast<quint32>(samples.size() * 4);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(3) << quint16(channels) << quint32(rate)
        << quint32(rate * 4 * channels) << quint16(4 * channels) << quint16(32);
    out.writeRawData("data", 4);
    out << bytes;
    for (float sample : samples)
        out << sample;
    writeFile(path, data);
}

TEST_F(WaveformGenerator, EncodedFilesGiveFifteenHundredValuesScaledToOne) {
    for (const QString name : {"tone.flac", "tone.mp3", "tone.m4a"}) {
        ASSERT_TRUE(makeAudioFile(path(name), {.seconds = 0.5, .channels = 2}));
        const auto values = waveform(name);
        ASSERT_TRUE(values) << name.toStdString();
        EXPECT_EQ(values->size(), waveformBucketCount);
        EXPECT_EQ(largest(*values), 1.0f);
        EXPECT_GE(*std::min_element(values->cbegin(), values->cend()), 0.0f);
    }
}

TEST_F(WaveformGenerator, RmsPerBucketOfTheFirstChannelOnly) {
    // Bucket i of 2 frames: the left channel at +-(i % 4 + 1) / 8, the right
    // one always loud; one trailing frame is the dropped remainder and is
    // loud on purpose.
    std::vector<float> samples;
    for (int i = 0; i < waveformBucketCount; ++i) {
        const float level = static_cast<float>(i % 4 + 1) / 8.0f;
        samples.insert(samples.end(), {level, 1.0f, -level, -1.0f});
    }
    samples.insert(samples.end(), {1.0f, 1.0f});
    writeFloatWav(path("steps.wav"), samples, 2);
    const auto values = waveform("steps.wav");
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), waveformBucketCount);
    // The loudest bucket has RMS 0.5 and becomes exactly 1.0.
    for (int i : {0, 1, 2, 3, 4, 1497, 1498, 1499})
        EXPECT_FLOAT_EQ((*values)[i], static_cast<float>(i % 4 + 1) / 4.0f) << i;
}

TEST_F(WaveformGenerator, SilenceGivesZerosWithoutDividing) {
    ASSERT_TRUE(makeAudioFile(path("quiet.wav"), {.seconds = 0.5, .source = "silence"}));
    const auto values = waveform("quiet.wav");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), waveformBucketCount);
    EXPECT_EQ(largest(*values), 0.0f);
}

TEST_F(WaveformGenerator, FewerFramesThanBucketsGiveNoWaveformSilently) {
    writeFloatWav(path("short.wav"), std::vector<float>(1499, 0.5f), 1);
    std::optional<QList<float>> values;
    EXPECT_TRUE(capturedLines([&] { values = waveform("short.wav"); }).isEmpty());
    EXPECT_FALSE(values);
    writeFloatWav(path("just.wav"), std::vector<float>(1500, 0.5f), 1);
    ASSERT_TRUE(waveform("just.wav"));
}

TEST_F(WaveformGenerator, UnreadableFilesPrintTheReason) {
    writeFile(path("text.mp3"), "this is no audio at all, only words");
    for (const QString name : {"text.mp3", "missing.flac"}) {
        std::optional<QList<float>> values;
        const QStringList lines = capturedLines([&] { values = waveform(name); });
        EXPECT_FALSE(values);
        ASSERT_EQ(lines.size(), 1) << name.toStdString();
        EXPECT_TRUE(lines[0].startsWith("Error generating waveform: ")) << lines[0].toStdString();
        EXPECT_GT(lines[0].size(), QString("Error generating waveform: ").size());
    }
}

TEST_F(WaveformGenerator, ATruncatedFileKeepsItsLengthWithSilenceAtTheEnd) {
    ASSERT_TRUE(makeAudioFile(path("whole.flac"), {.seconds = 1.0}));
    const QByteArray bytes = readFile(path("whole.flac"));
    writeFile(path("half.flac"), bytes.left(bytes.size() / 2));
    const auto values = waveform("half.flac");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), waveformBucketCount);
    EXPECT_EQ(values->last(), 0.0f);
    EXPECT_EQ(largest(*values), 1.0f);
}

TEST(WaveformCacheFile, KeepsFloatsExactlyAndRefusesAllButLongArraysOfNumbers) {
    QList<float> values;
    for (int i = 0; i < 1500; ++i)
        values.append(std::sqrt(static_cast<float>(i)) / std::sqrt(1499.0f));
    EXPECT_EQ(decodeWaveform(encodeWaveform(values)), values);
    for (const char* bad : {"{\"a\":1}", "[0.5, \"x\"]", "[0.5, "})
        EXPECT_FALSE(decodeWaveform(bad)) << bad;
    EXPECT_TRUE(decodeWaveform("[]"));
    // Short arrays count as missing.
    QTemporaryDir dir;
    const QString file = dir.path() + "/w.json";
    writeFile(file, encodeWaveform(QList<float>(1000, 0.25f)));
    EXPECT_FALSE(readCachedWaveform(file));
    writeFile(file, encodeWaveform(QList<float>(1001, 0.25f)));
    EXPECT_EQ(readCachedWaveform(file), QList<float>(1001, 0.25f));
}

} // namespace
