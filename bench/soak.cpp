// Soak: a queue of 2,000 one-second tracks played through the view model
// into the wav: output as fast as it decodes. Prints
//   RESULT soak_rss_growth_mb X      resident memory after the run minus
//                                    after the first 100 tracks (< 10)
//   RESULT soak_gapless_failures X   tracks whose frames did not land exactly
//                                    where the one before them ended (0)
// Every track continues one ramp, so the output must be that ramp unbroken.
// TOLVANE_SOAK_TRACKS sets another count.
#include "app/medialibraryviewmodel.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Rate = 8000;
constexpr int Period = 30011; // a prime, so no track starts where another did

qint16 rampSample(qint64 index) {
    return qint16(index % Period - Period / 2);
}

QByteArray wavFile(qint64 firstIndex, int frames) {
    QByteArray bytes;
    auto put32 = [&bytes](quint32 v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&bytes](quint16 v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    bytes.append("RIFF");
    put32(36 + frames * 2);
    bytes.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(Rate);
    put32(Rate * 2);
    put16(2);
    put16(16);
    bytes.append("data");
    put32(frames * 2);
    for (int i = 0; i < frames; ++i)
        put16(quint16(rampSample(firstIndex + i)));
    return bytes;
}

double residentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

[[noreturn]] void fail(const char* message) {
    std::fprintf(stderr, "bench_soak: %s\n", message);
    std::exit(1);
}

// Counts the tracks whose frames differ from the ramp, from the float WAV
// the output wrote (44-byte header, interleaved channels).
int gaplessFailures(const QString& path, int tracks, int* channelsSeen, qint64* framesSeen) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("no output file");
    const QByteArray header = file.read(44);
    const int channels = *reinterpret_cast<const quint16*>(header.constData() + 22);
    *channelsSeen = channels;
    int failures = 0;
    qint64 frame = 0;
    for (int track = 0; track < tracks; ++track) {
        const QByteArray block = file.read(qint64(Rate) * channels * 4);
        const auto* samples = reinterpret_cast<const float*>(block.constData());
        const qint64 frames = block.size() / (channels * 4);
        bool exact = frames == Rate;
        for (qint64 i = 0; exact && i < frames; ++i)
            exact = samples[i * channels] == rampSample(frame + i) / 32768.0f;
        failures += exact ? 0 : 1;
        frame += frames;
    }
    *framesSeen = frame + (file.size() - file.pos()) / (channels * 4);
    return failures;
}

} // namespace

int main(int argc, char* argv[]) {
    const int tracks = qEnvironmentVariableIntValue("TOLVANE_SOAK_TRACKS") > 0
                           ? qEnvironmentVariableIntValue("TOLVANE_SOAK_TRACKS")
                           : 2000;
    QTemporaryDir home;
    for (const char* name : {"data", "config", "cache"})
        QDir().mkpath(home.path() + QLatin1Char('/') + QLatin1String(name));
    const QString output = home.filePath(QStringLiteral("out.wav"));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TOLVANE_AUDIO_OUTPUT", "wav:" + QFile::encodeName(output));
    qputenv("TOLVANE_OUTPUT_PACE", "fast");
    qputenv("TOLVANE_OUTPUT_RATE", QByteArray::number(Rate));
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TolvaneBench"));
    QCoreApplication::setApplicationName(QStringLiteral("TolvaneBench"));

    QTemporaryDir music;
    for (int t = 0; t < tracks; ++t) {
        QFile file(music.filePath(QStringLiteral("%1.wav").arg(t, 5, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(wavFile(qint64(t) * Rate, Rate)) < 0)
            fail("cannot write the tracks");
    }

    MediaLibraryViewModel viewModel;
    viewModel.openFolder(QUrl::fromLocalFile(music.path()));
    QDeadlineTimer scanned(60000);
    while (!viewModel.rootFolder() && !scanned.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!viewModel.rootFolder())
        fail("the folder was not scanned");
    viewModel.playFolder(*viewModel.rootFolder());

    double warmedUp = 0;
    QDeadlineTimer deadline(20 * 60 * 1000);
    const qint64 wanted = 44 + qint64(tracks) * Rate * 2 * 4;
    // A queue that stops moving for 10 s has stalled; what it played is
    // still measured, and every track it did not reach counts as a failure.
    int lastIndex = -1;
    QDeadlineTimer stalled(10000);
    while (!deadline.hasExpired() && !stalled.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (viewModel.currentQueueIndex() != lastIndex) {
            lastIndex = viewModel.currentQueueIndex();
            stalled.setRemainingTime(10000);
        }
        if (warmedUp == 0 && viewModel.currentQueueIndex() >= std::min(100, tracks / 20))
            warmedUp = residentMb();
        if (QFileInfo(output).size() >= wanted && viewModel.currentQueueIndex() >= tracks - 1)
            break;
        QThread::msleep(5);
    }
    // Let the last loads and cache writes settle before the last reading.
    QDeadlineTimer settle(3000);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double growth = residentMb() - warmedUp;

    int channels = 0;
    qint64 frames = 0;
    const int failures = gaplessFailures(output, tracks, &channels, &frames);
    if (stalled.hasExpired())
        std::printf("  the queue stalled at index %d\n", viewModel.currentQueueIndex());
    std::printf("  %d tracks, reached queue index %d, %lld frames of %lld written (%d channels)\n",
                tracks, viewModel.currentQueueIndex(), static_cast<long long>(frames),
                static_cast<long long>(qint64(tracks) * Rate), channels);
    std::printf("RESULT soak_rss_growth_mb %.1f\n", growth);
    std::printf("RESULT soak_gapless_failures %d\n", failures);
    return 0;
}
