// Sample-exact joins: a signal cut into files off the codecs' frame grids
// comes out of the output as the original signal.
#include "engine_audio.h"

extern "C" {
#include <libavutil/mathematics.h>
}

using namespace enginetest;

namespace {

constexpr int Rate = 44100;
// Cut points off every codec's frame grid (FLAC 4096, mp3 1152, AAC 1024).
const std::vector<int64_t> Cuts = {0, 30011, 71093, 110251};

class GaplessTest : public EngineFixture {
protected:
    // The sine cut into WAVs (16 and 24 bits in turn, their samples to
    // `stored`) converted to `extension`.
    QStringList cut(Samples* stored, const QString& extension, const QStringList& arguments = {}) {
        const Samples signal = sine(int(Cuts.back()), Rate);
        QStringList paths;
        for (size_t i = 0; i + 1 < Cuts.size(); ++i) {
            const QString wav = path(QString("part%1.wav").arg(i));
            const Samples part = writePcmWav(wav, slice(signal, Cuts[i], Cuts[i + 1] - Cuts[i]),
                                             Rate, i % 2 ? 24 : 16);
            stored->insert(stored->end(), part.begin(), part.end());
            paths << path(QString("part%1.%2").arg(i).arg(extension));
            if (extension != "wav")
                EXPECT_TRUE(ffmpeg(wav, paths.last(), arguments));
        }
        return paths;
    }
};

TEST_F(GaplessTest, LosslessCutsOfMixedDepthPlayBackAsTheOriginalSignal) {
    for (const char* extension : {"wav", "flac"}) {
        SCOPED_TRACE(extension);
        Samples original;
        expectSamples(render(cut(&original, extension)), original);
    }
}

TEST_F(GaplessTest, Mp3CutsKeepTheirLengthAndJoinWithoutAGap) {
    Samples original;
    const QStringList mp3s = cut(&original, "mp3", {"-b:a", "192k"});
    const Samples output = render(mp3s);
    ASSERT_EQ(frameCount(output), Cuts.back());
    // The output is the files' own decodes laid end to end (the codec is
    // least faithful at a file's edges, which the joins show and no more)...
    std::vector<Samples> decodes;
    for (const QString& mp3 : mp3s)
        decodes.push_back(ffmpegDecode(mp3));
    expectSamples(output, joined(decodes), 1e-6f);
    // ...and lines up with the original: a gap or a shift would leave errors
    // of the signal's own size (0.5) around a join.
    for (size_t i = 1; i + 1 < Cuts.size(); ++i)
        expectSamples(slice(output, Cuts[i] - 1152, 2304), slice(original, Cuts[i] - 1152, 2304),
                      0.15f);
}

// The encoded file is longer than its tag says: only the tag explains where
// the output stops.
TEST_F(GaplessTest, M4aEndsAtTheLengthOfItsITunesGaplessTag) {
    constexpr int64_t Stated = 52000;
    writePcmWav(path("long.wav"), sine(60000, Rate), Rate);
    const QString m4a = path("tagged.m4a");
    ASSERT_TRUE(ffmpeg(path("long.wav"), m4a,
                       {"-c:a", "aac", "-movflags", "use_metadata_tags", "-metadata",
                        QString("iTunSMPB= 00000000 00000840 00000000 %1 00000000")
                            .arg(Stated, 16, 16, QLatin1Char('0'))}));
    const Samples decoded = ffmpegDecode(m4a);
    ASSERT_GT(frameCount(decoded), 60000); // FFmpeg alone plays the padding
    expectSamples(render({m4a}), slice(decoded, 0, Stated), 1e-6f);
}

TEST_F(GaplessTest, M4aCutsEndAtTheirEditListsWithoutPaddingAtTheJoins) {
    Samples original;
    const Samples output = render(cut(&original, "m4a", {"-c:a", "aac", "-b:a", "192k"}));
    EXPECT_LE(std::abs(frameCount(output) - Cuts.back()), 64 * int64_t(Cuts.size() - 1));
    EXPECT_LT(frameCount(output), Cuts.back() + 1024); // not one frame of padding
    // A padding block of silence at a join would show as a long quiet run.
    int64_t quietRun = 0, longestQuiet = 0;
    for (int64_t i = 0; i < frameCount(output); ++i) {
        const bool quiet = std::abs(output[2 * i]) < 0.01f && std::abs(output[2 * i + 1]) < 0.01f;
        longestQuiet = std::max(longestQuiet, quietRun = quiet ? quietRun + 1 : 0);
    }
    EXPECT_LT(longestQuiet, 8);
}

// One sine, its first part at 44.1 kHz and its second at 48 kHz.
TEST_F(GaplessTest, A44100TrackJoinsA48000TrackWithoutAGapOrClick) {
    constexpr int FirstFrames = 44100 + 1234, SecondRate = 48000, SecondFrames = 48000 - 777;
    const int64_t secondOffset = std::llround(double(FirstFrames) / Rate * SecondRate);
    writePcmWav(path("first.wav"), sine(FirstFrames, Rate), Rate);
    writePcmWav(path("second.wav"), sine(SecondFrames, SecondRate, 440.0, secondOffset),
                SecondRate);
    ASSERT_TRUE(ffmpeg(path("first.wav"), path("first.flac")));
    ASSERT_TRUE(ffmpeg(path("second.wav"), path("second.flac")));
    for (int outputRate : {Rate, SecondRate}) {
        SCOPED_TRACE(outputRate);
        const Samples output = render({path("first.flac"), path("second.flac")}, outputRate);
        const int64_t firstOut = av_rescale(FirstFrames, outputRate, Rate);
        EXPECT_LE(std::abs(frameCount(output) - firstOut -
                           av_rescale(SecondFrames, outputRate, SecondRate)),
                  2);
        const float inside =
            std::max(largestStep(output, 1000, firstOut - 1000),
                     largestStep(output, firstOut + 1000, frameCount(output) - 1000));
        EXPECT_LE(largestStep(output, firstOut - 4, firstOut + 4), inside * 1.1f);
    }
}

} // namespace
