// Every supported format decodes through the engine to what FFmpeg itself
// decodes (lossless ones to the very samples), and mono plays on both sides.

#include "engine_audio.h"

using namespace enginetest;

namespace {

constexpr int Rate = 44100;
constexpr int Frames = 33333;

class FormatTest : public EngineFixture {
protected:
    void SetUp() override {
        EngineFixture::SetUp();
        original = writePcmWav(path(QStringLiteral("source.wav")), sweep(Frames, Rate), Rate);
    }
    QString encode(const QString& name, const QStringList& arguments) {
        EXPECT_TRUE(ffmpeg(path(QStringLiteral("source.wav")), path(name), arguments));
        return path(name);
    }
    Samples original;
};

TEST_F(FormatTest, LosslessFormatsGiveBackTheSamples) {
    for (const auto& [name, arguments] :
         {std::pair{QStringLiteral("a.flac"), QStringList{}},
          std::pair{QStringLiteral("a.m4a"),
                    QStringList{QStringLiteral("-c:a"), QStringLiteral("alac")}},
          std::pair{QStringLiteral("a.wav"), QStringList{}}}) {
        SCOPED_TRACE(name.toStdString());
        const FloatWav output = render({encode(name, arguments)});
        ASSERT_TRUE(output.valid);
        EXPECT_TRUE(output.samples == original);
    }
}

TEST_F(FormatTest, LossyFormatsGiveWhatTheirDecoderGives) {
    const QString mp3 = encode(QStringLiteral("a.mp3"), {});
    const QString adts =
        encode(QStringLiteral("a.aac"), {QStringLiteral("-c:a"), QStringLiteral("aac"),
                                         QStringLiteral("-f"), QStringLiteral("adts")});
    for (const QString& file : {mp3, adts}) {
        SCOPED_TRACE(file.toStdString());
        const Samples expected = ffmpegDecode(file);
        ASSERT_GT(frameCount(expected), Frames / 2);
        const FloatWav output = render({file});
        ASSERT_TRUE(output.valid);
        ASSERT_EQ(output.samples.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(output.samples[i], expected[i], 1e-6) << "frame " << i / 2;
    }
}

TEST_F(FormatTest, MonoPlaysAtFullLevelOnBothChannels) {
    const QString mono =
        encode(QStringLiteral("mono.flac"), {QStringLiteral("-ac"), QStringLiteral("1")});
    const Samples samples = ffmpegDecode(mono, 1); // one value per frame
    ASSERT_EQ(int64_t(samples.size()), Frames);
    const FloatWav output = render({mono});
    ASSERT_TRUE(output.valid);
    ASSERT_EQ(frameCount(output.samples), Frames);
    for (int64_t i = 0; i < Frames; ++i) {
        ASSERT_EQ(output.samples[2 * i], samples[i]) << "frame " << i;
        ASSERT_EQ(output.samples[2 * i + 1], samples[i]) << "frame " << i;
    }
}

} // namespace
