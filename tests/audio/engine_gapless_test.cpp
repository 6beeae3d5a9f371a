// Sample-exact joins: a continuous signal cut into files at positions that
// are not frame-aligned must come out of the output as the original signal.

#include "engine_audio.h"

#include <QFile>

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
    // Cuts `signal` into WAV files of `bits`; returns their paths and the
    // samples they hold.
    QStringList cutIntoWavs(const Samples& signal, Samples* stored, int bits = 16) {
        QStringList paths;
        stored->clear();
        for (size_t i = 0; i + 1 < Cuts.size(); ++i) {
            const QString file = path(QStringLiteral("part%1.wav").arg(i));
            const Samples part =
                writePcmWav(file, slice(signal, Cuts[i], Cuts[i + 1] - Cuts[i]), Rate, bits);
            stored->insert(stored->end(), part.begin(), part.end());
            paths << file;
        }
        return paths;
    }

    QStringList convert(const QStringList& wavs, const QString& extension,
                        const QStringList& arguments = {}) {
        QStringList paths;
        for (const QString& wav : wavs) {
            QString target = wav;
            target.replace(QLatin1String(".wav"), QLatin1Char('.') + extension);
            EXPECT_TRUE(ffmpeg(wav, target, arguments));
            paths << target;
        }
        return paths;
    }

    static void expectSame(const Samples& actual, const Samples& expected) {
        ASSERT_EQ(frameCount(actual), frameCount(expected));
        for (size_t i = 0; i < expected.size(); ++i) {
            if (actual[i] != expected[i]) {
                FAIL() << "first difference at frame " << i / 2 << ": " << actual[i]
                       << " instead of " << expected[i];
            }
        }
    }
};

TEST_F(GaplessTest, FlacCutsPlayBackAsTheOriginalSignal) {
    Samples original;
    const QStringList flacs =
        convert(cutIntoWavs(sweep(int(Cuts.back()), Rate), &original), QStringLiteral("flac"));
    const FloatWav output = render(flacs);
    ASSERT_TRUE(output.valid);
    EXPECT_EQ(output.sampleRate, Rate);
    EXPECT_EQ(output.channels, 2);
    expectSame(output.samples, original);
}

TEST_F(GaplessTest, WavCutsPlayBackAsTheOriginalSignal) {
    Samples original;
    const QStringList wavs = cutIntoWavs(sweep(int(Cuts.back()), Rate), &original);
    const FloatWav output = render(wavs);
    ASSERT_TRUE(output.valid);
    expectSame(output.samples, original);
}

TEST_F(GaplessTest, Mp3CutsKeepTheirLengthAndJoinWithoutAGap) {
    Samples original;
    const QStringList mp3s =
        convert(cutIntoWavs(sine(int(Cuts.back()), Rate), &original), QStringLiteral("mp3"),
                {QStringLiteral("-b:a"), QStringLiteral("192k")});
    const FloatWav output = render(mp3s);
    ASSERT_TRUE(output.valid);
    ASSERT_EQ(frameCount(output.samples), Cuts.back());

    // The codec is least faithful at the edges of a file; the joins show
    // exactly that and nothing more: the output is the files' own decodes
    // laid end to end.
    Samples decodes;
    for (const QString& mp3 : mp3s) {
        const Samples decoded = ffmpegDecode(mp3);
        decodes.insert(decodes.end(), decoded.begin(), decoded.end());
    }
    ASSERT_EQ(decodes.size(), output.samples.size());
    for (size_t i = 0; i < decodes.size(); ++i)
        ASSERT_NEAR(output.samples[i], decodes[i], 1e-6) << "frame " << i / 2;

    // And it lines up with the original: a gap or a shifted track would leave
    // errors of the signal's own size (0.5) around the join.
    for (size_t i = 1; i + 1 < Cuts.size(); ++i) {
        float error = 0;
        for (int64_t f = Cuts[i] - 1152; f < Cuts[i] + 1152; ++f) {
            error = std::max({error, std::abs(output.samples[2 * f] - original[2 * f]),
                              std::abs(output.samples[2 * f + 1] - original[2 * f + 1])});
        }
        EXPECT_LT(error, 0.15f) << "join at frame " << Cuts[i];
    }
}

TEST_F(GaplessTest, M4aEndsAtTheLengthOfItsITunesGaplessTag) {
    // The encoded file is longer than the tag says, so only the tag explains
    // where the output stops.
    constexpr int64_t Stated = 52000;
    writePcmWav(path(QStringLiteral("long.wav")), sine(60000, Rate), Rate);
    const QString m4a = path(QStringLiteral("tagged.m4a"));
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("long.wav")), m4a,
                       {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-movflags"),
                        QStringLiteral("use_metadata_tags"), QStringLiteral("-metadata"),
                        QStringLiteral("iTunSMPB= 00000000 00000840 00000000 %1 00000000")
                            .arg(Stated, 16, 16, QLatin1Char('0'))}));
    const Samples decoded = ffmpegDecode(m4a);
    ASSERT_GT(frameCount(decoded), 60000); // FFmpeg alone plays the padding
    const FloatWav output = render({m4a});
    ASSERT_TRUE(output.valid);
    ASSERT_EQ(frameCount(output.samples), Stated);
    const Samples expected = slice(decoded, 0, Stated);
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_NEAR(output.samples[i], expected[i], 1e-6) << "frame " << i / 2;
}

TEST_F(GaplessTest, M4aCutsEndAtTheirEditListsWithoutPaddingAtTheJoins) {
    Samples original;
    const QStringList m4as =
        convert(cutIntoWavs(sine(int(Cuts.back()), Rate), &original), QStringLiteral("m4a"),
                {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-b:a"),
                 QStringLiteral("192k")});
    const FloatWav output = render(m4as);
    ASSERT_TRUE(output.valid);
    const int64_t tracks = int64_t(Cuts.size()) - 1;
    EXPECT_LE(std::abs(frameCount(output.samples) - Cuts.back()), 64 * tracks);
    EXPECT_LT(frameCount(output.samples), Cuts.back() + 1024); // not one frame of padding

    // A padding block of silence at a join would show as a long quiet run.
    int64_t quietRun = 0;
    int64_t longestQuiet = 0;
    for (int64_t i = 0; i < frameCount(output.samples); ++i) {
        const bool quiet =
            std::abs(output.samples[2 * i]) < 0.01f && std::abs(output.samples[2 * i + 1]) < 0.01f;
        quietRun = quiet ? quietRun + 1 : 0;
        longestQuiet = std::max(longestQuiet, quietRun);
    }
    EXPECT_LT(longestQuiet, 8);
}

TEST_F(GaplessTest, A44100TrackJoinsA48000TrackWithoutAGapOrClick) {
    // One sine, its first part at 44.1 kHz and its second at 48 kHz.
    constexpr int FirstFrames = 44100 + 1234;
    constexpr int SecondRate = 48000;
    constexpr int SecondFrames = 48000 - 777;
    const double seconds = double(FirstFrames) / Rate;
    const QString first = path(QStringLiteral("first.flac"));
    const QString second = path(QStringLiteral("second.flac"));
    writePcmWav(path(QStringLiteral("first.wav")), sine(FirstFrames, Rate), Rate);
    writePcmWav(path(QStringLiteral("second.wav")),
                sine(SecondFrames, SecondRate, 441.0, std::llround(seconds * SecondRate)),
                SecondRate);
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("first.wav")), first));
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("second.wav")), second));

    for (int outputRate : {Rate, SecondRate}) {
        SCOPED_TRACE(outputRate);
        const FloatWav output = render({first, second}, outputRate);
        ASSERT_TRUE(output.valid);
        ASSERT_EQ(output.sampleRate, outputRate);
        const int64_t firstOut = av_rescale(FirstFrames, outputRate, Rate);
        const int64_t expected = firstOut + av_rescale(SecondFrames, outputRate, SecondRate);
        EXPECT_LE(std::abs(frameCount(output.samples) - expected), 2);
        const float inside = std::max(
            largestStep(output.samples, 1000, firstOut - 1000),
            largestStep(output.samples, firstOut + 1000, frameCount(output.samples) - 1000));
        const float join = largestStep(output.samples, firstOut - 4, firstOut + 4);
        EXPECT_LE(join, inside * 1.1f);
    }
}

TEST_F(GaplessTest, A16BitTrackJoinsA24BitTrackExactly) {
    const Samples signal = sine(50000, Rate);
    const Samples first =
        writePcmWav(path(QStringLiteral("a.wav")), slice(signal, 0, 23457), Rate, 16);
    const Samples second =
        writePcmWav(path(QStringLiteral("b.wav")), slice(signal, 23457, 26543), Rate, 24);
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("a.wav")), path(QStringLiteral("a.flac"))));
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("b.wav")), path(QStringLiteral("b.flac"))));
    Samples expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    const FloatWav output =
        render({path(QStringLiteral("a.flac")), path(QStringLiteral("b.flac"))});
    ASSERT_TRUE(output.valid);
    expectSame(output.samples, expected);
}

} // namespace
