// tolvane-play: the command-line player on the engine.

#include "engine_audio.h"
#include "support/testsupport.h"

#include <QProcess>

using namespace enginetest;

namespace {

constexpr int Rate = 44100;

class PlayProgramTest : public EngineFixture {
protected:
    // Runs tolvane-play writing to `wav` as fast as it can.
    int play(const QStringList& files, QStringList* lines) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TOLVANE_AUDIO_OUTPUT"), QStringLiteral("wav:") + wav());
        environment.insert(QStringLiteral("TOLVANE_OUTPUT_PACE"), QStringLiteral("fast"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TOLVANE_BINARY_DIR "/tolvane-play"), files);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        *lines = QString::fromUtf8(process.readAllStandardOutput())
                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    QString wav() const { return path(QStringLiteral("played.wav")); }
};

TEST_F(PlayProgramTest, PlaysTheFilesAsOneGaplessQueueAndExits) {
    const Samples signal = sweep(40000, Rate);
    const Samples a = writePcmWav(path(QStringLiteral("a.wav")), slice(signal, 0, 17777), Rate);
    writePcmWav(path(QStringLiteral("b.wav")), slice(signal, 17777, 22223), Rate);
    ASSERT_TRUE(ffmpeg(path(QStringLiteral("b.wav")), path(QStringLiteral("b.flac"))));
    QStringList lines;
    const QStringList files{path(QStringLiteral("a.wav")), path(QStringLiteral("b.flac"))};
    ASSERT_EQ(play(files, &lines), 0);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Playing: ") + files[0],
                                  QStringLiteral("Playing: ") + files[1]}));
    const FloatWav output = readFloatWav(wav());
    ASSERT_TRUE(output.valid);
    ASSERT_EQ(frameCount(output.samples), 40000);
    for (size_t i = 0; i < output.samples.size(); ++i)
        ASSERT_NEAR(output.samples[i], signal[i], 1.0 / 32768) << "frame " << i / 2;
    EXPECT_TRUE(slice(output.samples, 0, 17777) == a);
}

TEST_F(PlayProgramTest, SkipsAFileItCannotPlayAndSaysSo) {
    const Samples a = writePcmWav(path(QStringLiteral("a.wav")), sine(5000, Rate), Rate);
    const Samples c = writePcmWav(path(QStringLiteral("c.wav")), sweep(7000, Rate), Rate);
    testsupport::writeFile(path(QStringLiteral("b.mp3")), QByteArray("no sound here").repeated(50));
    QStringList lines;
    const QStringList files{path(QStringLiteral("a.wav")), path(QStringLiteral("b.mp3")),
                            path(QStringLiteral("c.wav"))};
    EXPECT_EQ(play(files, &lines), 1);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("Playing: ") + files[0]);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Cannot play: ") + files[1] + ": "));
    EXPECT_EQ(lines[2], QStringLiteral("Playing: ") + files[2]);
    Samples expected = a;
    expected.insert(expected.end(), c.begin(), c.end());
    EXPECT_TRUE(readFloatWav(wav()).samples == expected);
}

TEST_F(PlayProgramTest, ExitsWhenNothingCanPlay) {
    QStringList lines;
    EXPECT_EQ(play({path(QStringLiteral("gone.flac"))}, &lines), 1);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Cannot play: ")));
}

TEST_F(PlayProgramTest, WithoutFilesPrintsUsage) {
    QStringList lines;
    EXPECT_EQ(play({}, &lines), 2);
    EXPECT_TRUE(lines.isEmpty());
}

} // namespace
