// tolvane-play: the command-line player on the engine.
#include "engine_audio.h"
#include "support/testsupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

using namespace enginetest;

namespace {

class PlayProgramTest : public EngineFixture {};

// The files play as one gapless queue, what cannot play is skipped with its
// reason; without files the usage goes to standard error.
TEST_F(PlayProgramTest, PlaysTheFilesAsOneGaplessQueueSkippingWhatItCannotPlay) {
    const Samples signal = sine(40000, 44100);
    const Samples a = writePcmWav(path("a.wav"), slice(signal, 0, 17777), 44100);
    const Samples b = writePcmWav(path("b.wav"), slice(signal, 17777, 22223), 44100);
    ASSERT_TRUE(ffmpeg(path("b.wav"), path("b.flac")));
    testsupport::writeFile(path("bad.mp3"), QByteArray("no sound here").repeated(50));
    const struct {
        QStringList files;
        int exitCode;
        const char* output; // a pattern; %1 the folder
    } runs[] = {
        {{"a.wav", "b.flac"}, 0, "Playing: %1a.wav\nPlaying: %1b.flac\n"},
        {{"a.wav", "bad.mp3", "b.wav"},
         1,
         "Playing: %1a.wav\nCannot play: %1bad.mp3: .+\nPlaying: %1b.wav\n"},
        {{}, 2, ""},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.files.join(' ').toStdString());
        QStringList files;
        for (const QString& file : run.files)
            files << path(file);
        QFile::remove(path("played.wav"));
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TOLVANE_AUDIO_OUTPUT", "wav:" + path("played.wav"));
        environment.insert("TOLVANE_OUTPUT_PACE", "fast");
        process.setProcessEnvironment(environment);
        process.start(TOLVANE_BINARY_DIR "/tolvane-play", files);
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), run.exitCode);
        const QString output = QString::fromUtf8(process.readAllStandardOutput());
        const QString pattern =
            QString(run.output).arg(QRegularExpression::escape(dir.path() + '/'));
        EXPECT_TRUE(QRegularExpression('^' + pattern + '$').match(output).hasMatch())
            << output.toStdString();
        expectSamples(readFloatWav(path("played.wav")),
                      files.isEmpty() ? Samples() : joined({a, b}));
    }
}

} // namespace
