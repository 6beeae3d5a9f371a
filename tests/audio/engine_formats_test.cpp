// Every supported format decodes through the engine to what FFmpeg itself
// decodes (lossless ones to the very samples), and mono plays on both sides.
#include "engine_audio.h"
#include "support/testsupport.h"

using namespace enginetest;

namespace {

constexpr int Rate = 44100;
constexpr int Frames = 33333;

class FormatTest : public EngineFixture {};

TEST_F(FormatTest, EachFormatGivesWhatFFmpegDecodes) {
    const Samples original = writePcmWav(path("source.wav"), sine(Frames, Rate), Rate);
    const struct {
        const char* name;
        const char* arguments;
        int priming;                 // frames FFmpeg plays before the engine starts
        float tolerance;             // 0: lossless
        const char* input = nullptr; // source.wav unless a lavfi source
    } rows[] = {{"a.flac", "", 0, 0},
                {"a.m4a", "-c:a alac", 0, 0},
                {"a.mp3", "", 0, 1e-6f},
                // Raw ADTS states no encoder delay: the engine skips the priming frame.
                {"a.aac", "-f adts -c:a aac", 1024, 1e-6f},
                {"mono.flac", "-ac 1", 0, 0},
                {"flac-named.mp3", "-f flac", 0, 0},
                // FFmpeg keeps the planes past the eighth only in extended_data.
                {"ten.wv", "-c:a wavpack", 0, 1e-6f,
                 "aevalsrc=%1:c=FL+FR+FC+LFE+BL+BR+SL+SR+TFL+TFR:s=44100:d=0.5"}};
    QStringList tenChannels;
    for (int i = 0; i < 10; ++i)
        tenChannels << QString("0.09*sin(%1*2*PI*t)").arg(200 + 70 * i);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString file = path(row.name);
        const bool mono = QString(row.name).startsWith("mono");
        const QString input =
            row.input ? QString(row.input).arg(tenChannels.join('|')) : path("source.wav");
        ASSERT_TRUE(ffmpeg(input, file, QString(row.arguments).split(' ', Qt::SkipEmptyParts)));
        Samples expected = ffmpegDecode(file, mono ? 1 : 2);
        if (mono) { // at full level on both channels
            ASSERT_EQ(int64_t(expected.size()), Frames);
            Samples both;
            for (float sample : expected)
                both.insert(both.end(), {sample, sample});
            expected = both;
        }
        expected = slice(expected, row.priming, frameCount(expected) - row.priming);
        ASSERT_GT(frameCount(expected), Frames / 2);
        if (row.tolerance == 0 && !mono)
            EXPECT_TRUE(expected == original);
        expectSamples(render({file}), expected, row.tolerance);
    }
}

} // namespace
