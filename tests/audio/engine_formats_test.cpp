// Every supported format decodes through the engine to what FFmpeg itself
// decodes (lossless ones to the very samples), and mono plays on both sides.

#include "engine_audio.h"
#include "support/testsupport.h"

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
    // Raw ADTS states no encoder delay; FFmpeg plays its priming frame, the
    // engine starts after it.
    for (const auto& [file, priming] : {std::pair{mp3, 0}, std::pair{adts, 1024}}) {
        SCOPED_TRACE(file.toStdString());
        const Samples decoded = ffmpegDecode(file);
        const Samples expected = slice(decoded, priming, frameCount(decoded) - priming);
        ASSERT_GT(frameCount(expected), Frames / 2);
        const FloatWav output = render({file});
        ASSERT_TRUE(output.valid);
        ASSERT_EQ(output.samples.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(output.samples[i], expected[i], 1e-6) << "frame " << i / 2;
    }
}

// FFmpeg keeps the planes past the eighth only in extended_data.
TEST_F(FormatTest, TenPlanarChannelsDownmixAsFFmpegDoes) {
    QStringList channels;
    for (int i = 0; i < 10; ++i)
        channels << QStringLiteral("0.09*sin(%1*2*PI*t)").arg(200 + 70 * i);
    const QString file = path(QStringLiteral("ten.wv"));
    const QString source = QStringLiteral("aevalsrc=") + channels.join(QLatin1Char('|')) +
                           QStringLiteral(":c=FL+FR+FC+LFE+BL+BR+SL+SR+TFL+TFR:s=44100:d=0.5");
    ASSERT_EQ(testsupport::runProgram(QStringLiteral("ffmpeg"),
                                      {QStringLiteral("-v"), QStringLiteral("error"),
                                       QStringLiteral("-f"), QStringLiteral("lavfi"),
                                       QStringLiteral("-i"), source, QStringLiteral("-c:a"),
                                       QStringLiteral("wavpack"), file}),
              0);
    const Samples expected = ffmpegDecode(file);
    ASSERT_EQ(frameCount(expected), 22050);
    const FloatWav output = render({file});
    ASSERT_TRUE(output.valid);
    ASSERT_EQ(output.samples.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(output.samples[i], expected[i], 1e-6) << "frame " << i / 2;
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
