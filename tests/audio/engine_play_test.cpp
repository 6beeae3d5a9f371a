// tolvane-play: the command-line player on the engine.
#include "engine_audio.h"
#include "support/testsupport.h"

#include <QFile>
#include <QProcess>

using namespace enginetest;

namespace {

class PlayProgramTest : public EngineFixture {};

// A line ending in ": " goes on with the reason; the usage goes to standard error.
TEST_F(PlayProgramTest, PlaysTheFilesAsOneGaplessQueueSkippingWhatItCannotPlay) {
    const Samples signal = sine(40000, 44100);
    const Samples a = writePcmWav(path("a.wav"), slice(signal, 0, 17777), 44100);
    const Samples b = writePcmWav(path("b.wav"), slice(signal, 17777, 22223), 44100);
    ASSERT_TRUE(ffmpeg(path("b.wav"), path("b.flac")));
    testsupport::writeFile(path("bad.mp3"), QByteArray("no sound here").repeated(50));
    const struct {
        QStringList files;
        int exitCode;
        QStringList lines;
        Samples output;
    } runs[] = {
        {{"a.wav", "b.flac"}, 0, {"Playing: %1a.wav", "Playing: %1b.flac"}, joined({a, b})},
        {{"a.wav", "bad.mp3", "b.wav"},
         1,
         {"Playing: %1a.wav", "Cannot play: %1bad.mp3: ", "Playing: %1b.wav"},
         joined({a, b})},
        {{}, 2, {}, {}},
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
        const QStringList lines =
            QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), run.lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString wanted = QString(run.lines[i]).arg(dir.path() + '/');
            const bool reason = wanted.endsWith(": ");
            EXPECT_TRUE(reason ? lines[i].startsWith(wanted) && lines[i] != wanted
                               : lines[i] == wanted)
                << lines[i].toStdString();
        }
        expectSamples(ffmpegDecode(path("played.wav")), run.output);
    }
}

} // namespace
