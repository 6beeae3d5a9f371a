// tolvane-play: the command-line player on the engine.

#include "engine_audio.h"
#include "support/testsupport.h"

#include <QFile>
#include <QProcess>

using namespace enginetest;

namespace {

constexpr int Rate = 44100;

class PlayProgramTest : public EngineFixture {};

TEST_F(PlayProgramTest, PlaysTheFilesAsOneGaplessQueueSkippingWhatItCannotPlay) {
    const Samples signal = sine(40000, Rate);
    const Samples a = writePcmWav(path("a.wav"), slice(signal, 0, 17777), Rate);
    const Samples b = writePcmWav(path("b.wav"), slice(signal, 17777, 22223), Rate);
    ASSERT_TRUE(ffmpeg(path("b.wav"), path("b.flac")));
    testsupport::writeFile(path("bad.mp3"), QByteArray("no sound here").repeated(50));
    const QString played = "Playing: ";
    const QString cannot = "Cannot play: ";
    const struct {
        QStringList files;
        int exitCode;
        QStringList lines; // a line ending in ": " goes on with the reason
        Samples output;
    } runs[] = {
        {{"a.wav", "b.flac"}, 0, {played + path("a.wav"), played + path("b.flac")}, joined({a, b})},
        {{"a.wav", "bad.mp3", "b.wav"},
         1,
         {played + path("a.wav"), cannot + path("bad.mp3") + ": ", played + path("b.wav")},
         joined({a, b})},
        {{"gone.flac"}, 1, {cannot + path("gone.flac") + ": "}, {}},
        {{}, 2, {}, {}}, // the usage goes to standard error
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
            if (run.lines[i].endsWith(": "))
                EXPECT_TRUE(lines[i].startsWith(run.lines[i]) && lines[i] != run.lines[i])
                    << lines[i].toStdString();
            else
                EXPECT_EQ(lines[i], run.lines[i]);
        }
        expectSamples(readFloatWav(path("played.wav")), run.output);
    }
}

} // namespace
