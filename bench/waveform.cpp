// Time to compute the waveform of a 10-minute FLAC and mp3, against the
// ffmpeg CLI decoding the same file to 32-bit float, side by side.
#include "playback/waveformgenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int rounds = 3;

bool run(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"), arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool makeTestFile(const QString& path, const QStringList& codec) {
    // Stereo music-like content: two tones under pink noise, 10 minutes.
    QStringList arguments = {"-hide_banner",
                             "-loglevel",
                             "error",
                             "-y",
                             "-f",
                             "lavfi",
                             "-i",
                             "anoisesrc=c=pink:r=44100:a=0.2:d=600",
                             "-f",
                             "lavfi",
                             "-i",
                             "sine=f=220:r=44100:d=600",
                             "-filter_complex",
                             "[0][1]amerge=inputs=2,pan=stereo|c0=c0+c1|c1=c0-c1"};
    arguments << codec << path;
    return run(arguments);
}

double bestSeconds(const std::function<bool()>& work) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!work())
            return -1;
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

void measure(const QString& name, const QString& path) {
    const double ours =
        bestSeconds([&] { return generateWaveform(QUrl::fromLocalFile(path)).has_value(); });
    const double reference = bestSeconds([&] {
        return run(
            {"-hide_banner", "-loglevel", "error", "-i", path, "-f", "f32le", "-y", "/dev/null"});
    });
    std::printf("%s: waveform %.3f s, ffmpeg decode %.3f s\n", qPrintable(name), ours, reference);
    std::printf("RESULT waveform_%s_over_ffmpeg %.3f\n", qPrintable(name), ours / reference);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString flac = dir.path() + "/long.flac";
    const QString mp3 = dir.path() + "/long.mp3";
    std::printf("generating 10-minute test files...\n");
    std::fflush(stdout);
    if (!makeTestFile(flac, {"-c:a", "flac"}) ||
        !makeTestFile(mp3, {"-c:a", "libmp3lame", "-b:a", "192k"})) {
        std::fprintf(stderr, "ffmpeg could not make the test files\n");
        return 1;
    }
    measure(QStringLiteral("flac"), flac);
    measure(QStringLiteral("mp3"), mp3);
    return 0;
}
