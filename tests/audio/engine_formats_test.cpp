// Every supported format decodes through the engine to what FFmpeg itself
// decodes (lossless ones to the very samples), and mono plays on both sides.

#include "engine_audio.h"
#include "support/testsupport.h"

using namespace enginetest;

namespace {

constexpr int Rate = 44100;
constexpr int Frames = 33333;

struct Format {
    const char* name;
    QStringList arguments;
    int priming;     // frames FFmpeg plays before the engine starts
    float tolerance; // 0: lossless
};

class FormatTest : public EngineFixture {};

TEST_F(FormatTest, EachFormatGivesWhatFFmpegDecodes) {
    const Samples original = writePcmWav(path("source.wav"), sine(Frames, Rate), Rate);
    const QString adts = "-f adts -c:a aac";
    // Raw ADTS states no encoder delay; FFmpeg plays its priming frame, the
    // engine starts after it.
    for (const Format& format :
         {Format{"a.flac", {}, 0, 0}, Format{"a.m4a", {"-c:a", "alac"}, 0, 0},
          Format{"a.mp3", {}, 0, 1e-6f}, Format{"a.aac", adts.split(' '), 1024, 1e-6f},
          Format{"mono.flac", {"-ac", "1"}, 0, 0}}) {
        SCOPED_TRACE(format.name);
        const QString file = path(format.name);
        ASSERT_TRUE(ffmpeg(path("source.wav"), file, format.arguments));
        Samples expected = ffmpegDecode(file, format.arguments.contains("-ac") ? 1 : 2);
        if (format.arguments.contains("-ac")) { // mono at full level on both channels
            ASSERT_EQ(int64_t(expected.size()), Frames);
            Samples both;
            for (float sample : expected)
                both.insert(both.end(), {sample, sample});
            expected = both;
        }
        expected = slice(expected, format.priming, frameCount(expected) - format.priming);
        ASSERT_GT(frameCount(expected), Frames / 2);
        if (format.tolerance == 0 && !format.arguments.contains("-ac"))
            EXPECT_TRUE(expected == original);
        const Samples output = render({file});
        expectSamples(output, expected, format.tolerance);
    }
}

// FFmpeg keeps the planes past the eighth only in extended_data.
TEST_F(FormatTest, TenPlanarChannelsDownmixAsFFmpegDoes) {
    QStringList channels;
    for (int i = 0; i < 10; ++i)
        channels << QString("0.09*sin(%1*2*PI*t)").arg(200 + 70 * i);
    const QString file = path("ten.wv");
    const QString source = "aevalsrc=" + channels.join(QLatin1Char('|')) +
                           ":c=FL+FR+FC+LFE+BL+BR+SL+SR+TFL+TFR:s=44100:d=0.5";
    ASSERT_EQ(testsupport::runProgram(
                  "ffmpeg", {"-v", "error", "-f", "lavfi", "-i", source, "-c:a", "wavpack", file}),
              0);
    const Samples expected = ffmpegDecode(file);
    ASSERT_EQ(frameCount(expected), 22050);
    const Samples output = render({file});
    expectSamples(output, expected, 1e-6f);
}

} // namespace
