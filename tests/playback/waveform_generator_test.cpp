#include "base/console.h"
#include "cache/mediacachemanager.h"
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
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }
    QTemporaryDir dir;
};

// A 32-bit float WAV holding exactly the given (interleaved) samples.
void writeFloatWav(const QString& path, const std::vector<float>& samples, int channels = 1) {
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

TEST_F(WaveformGenerator, GivesFifteenHundredValuesScaledToOne) {
    AudioFixture fixture;
    fixture.seconds = 1.0;
    fixture.channels = 2;
    ASSERT_TRUE(makeAudioFile(path("tone.flac"), fixture));
    const auto values = generateWaveform(url("tone.flac"));
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), waveformBucketCount);
    EXPECT_EQ(*std::max_element(values->cbegin(), values->cend()), 1.0f);
    EXPECT_GE(*std::min_element(values->cbegin(), values->cend()), 0.0f);
}

TEST_F(WaveformGenerator, RmsPerBucketOfTheFirstChannelOnly) {
    // Bucket i of 2 frames each holds two samples of value (i % 4 + 1) / 8;
    // one trailing frame is the dropped remainder and is loud on purpose.
    std::vector<float> samples;
    for (int i = 0; i < waveformBucketCount; ++i) {
        const float level = static_cast<float>(i % 4 + 1) / 8.0f;
        samples.insert(samples.end(), {level, -level});
    }
    samples.push_back(1.0f);
    writeFloatWav(path("steps.wav"), samples);
    const auto values = generateWaveform(url("steps.wav"));
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), waveformBucketCount);
    // The loudest bucket has RMS 0.5 and becomes exactly 1.0.
    for (int i = 0; i < 8; ++i)
        EXPECT_FLOAT_EQ((*values)[i], static_cast<float>(i % 4 + 1) / 4.0f) << i;
    EXPECT_EQ((*values)[3], 1.0f);
}

TEST_F(WaveformGenerator, OtherChannelsAreIgnored) {
    // The left channel rises bucket by bucket; the right one is always loud.
    std::vector<float> samples;
    for (int i = 0; i < waveformBucketCount; ++i) {
        const float left = static_cast<float>(i + 1) / waveformBucketCount;
        samples.insert(samples.end(), {left, 1.0f, -left, -1.0f});
    }
    writeFloatWav(path("stereo.wav"), samples, 2);
    const auto values = generateWaveform(url("stereo.wav"));
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), waveformBucketCount);
    EXPECT_FLOAT_EQ(values->first(), 1.0f / waveformBucketCount);
    EXPECT_FLOAT_EQ((*values)[749], 0.5f);
    EXPECT_EQ(values->last(), 1.0f);
}

TEST_F(WaveformGenerator, SilenceGivesZerosWithoutDividing) {
    AudioFixture fixture;
    fixture.source = "silence";
    fixture.seconds = 0.5;
    ASSERT_TRUE(makeAudioFile(path("quiet.wav"), fixture));
    const auto values = generateWaveform(url("quiet.wav"));
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), waveformBucketCount);
    EXPECT_TRUE(std::all_of(values->cbegin(), values->cend(), [](float v) { return v == 0.0f; }));
}

TEST_F(WaveformGenerator, LossyFilesWork) {
    for (const QString name : {"l.mp3", "l.m4a"}) {
        AudioFixture fixture;
        fixture.seconds = 0.5;
        ASSERT_TRUE(makeAudioFile(path(name), fixture));
        const auto values = generateWaveform(url(name));
        ASSERT_TRUE(values) << name.toStdString();
        EXPECT_EQ(values->size(), waveformBucketCount);
        EXPECT_EQ(*std::max_element(values->cbegin(), values->cend()), 1.0f);
    }
}

TEST_F(WaveformGenerator, FewerFramesThanBucketsGiveNoWaveform) {
    writeFloatWav(path("short.wav"), std::vector<float>(1499, 0.5f));
    QStringList lines;
    std::optional<QList<float>> values;
    lines = capturedLines([&] { values = generateWaveform(url("short.wav")); });
    EXPECT_FALSE(values);
    EXPECT_TRUE(lines.isEmpty());

    writeFloatWav(path("just.wav"), std::vector<float>(1500, 0.5f));
    values = generateWaveform(url("just.wav"));
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), waveformBucketCount);
}

TEST_F(WaveformGenerator, UnreadableFilesPrintTheReason) {
    writeFile(path("text.mp3"), "this is no audio at all, only words");
    for (const QString name : {"text.mp3", "missing.flac"}) {
        std::optional<QList<float>> values;
        const QStringList lines = capturedLines([&] { values = generateWaveform(url(name)); });
        EXPECT_FALSE(values);
        ASSERT_EQ(lines.size(), 1) << name.toStdString();
        EXPECT_TRUE(lines[0].startsWith("Error generating waveform: ")) << lines[0].toStdString();
        EXPECT_GT(lines[0].size(), QString("Error generating waveform: ").size());
    }
}

TEST_F(WaveformGenerator, ATruncatedFileStillEnds) {
    AudioFixture fixture;
    fixture.seconds = 1.0;
    ASSERT_TRUE(makeAudioFile(path("whole.flac"), fixture));
    const QByteArray bytes = readFile(path("whole.flac"));
    writeFile(path("half.flac"), bytes.left(bytes.size() / 2));
    const auto values = generateWaveform(url("half.flac"));
    // The stated length stays; what is missing reads as silence.
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), waveformBucketCount);
    EXPECT_EQ(values->last(), 0.0f);
    EXPECT_EQ(*std::max_element(values->cbegin(), values->cend()), 1.0f);
}

TEST(WaveformCacheFile, RoundTripsFloatsExactly) {
    QList<float> values;
    for (int i = 0; i < 1500; ++i)
        values.append(std::sqrt(static_cast<float>(i)) / std::sqrt(1499.0f));
    const auto decoded = decodeWaveform(encodeWaveform(values));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, values);
}

TEST(WaveformCacheFile, AnythingButAnArrayOfNumbersIsRejected) {
    EXPECT_FALSE(decodeWaveform("{\"a\":1}"));
    EXPECT_FALSE(decodeWaveform("[0.5, \"x\"]"));
    EXPECT_FALSE(decodeWaveform("[0.5, "));
    ASSERT_TRUE(decodeWaveform("[]"));
}

TEST(WaveformCacheFile, ShortArraysCountAsMissing) {
    QTemporaryDir dir;
    const QString file = dir.path() + "/w.json";
    writeFile(file, encodeWaveform(QList<float>(1000, 0.25f)));
    EXPECT_FALSE(readCachedWaveform(file));
    writeFile(file, encodeWaveform(QList<float>(1001, 0.25f)));
    ASSERT_TRUE(readCachedWaveform(file));
    EXPECT_EQ(readCachedWaveform(file)->size(), 1001);
}

TEST(WaveformCacheFile, NamedByTheTrackKey) {
    const QUrl track = QUrl::fromLocalFile("/m/A/1.mp3");
    const QString path = waveformCacheFilePath(MediaCacheManager::shared(), track);
    EXPECT_TRUE(path.startsWith(MediaCacheManager::shared().subdirectory("Waveforms") + '/'));
    EXPECT_TRUE(path.endsWith(".json"));
    EXPECT_NE(path, waveformCacheFilePath(MediaCacheManager::shared(),
                                          QUrl::fromLocalFile("/m/A/2.mp3")));
}

} // namespace
