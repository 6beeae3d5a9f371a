// Playback engine figures, each measured side by side with its reference in
// one run:
//
//   RESULT flac_render_over_ffmpeg  CPU time of tolvane-play rendering a
//                                   10-minute FLAC to the wav: sink (as fast
//                                   as it goes, into /dev/null) over the CPU
//                                   time of `ffmpeg -i FILE -f f32le -y
//                                   /dev/null` (target <= 1.3)
//   RESULT mp3_render_over_ffmpeg   the same for a 10-minute mp3 (<= 1.3)
//   RESULT first_frame_ms           loadFile(autoPlay: true) of a local FLAC
//                                   to the first frame handed to the sink,
//                                   median of warm loads (target <= 50)
//   RESULT first_frame_cold_ms      the same for the first load, which also
//                                   opens the output
//   RESULT playback_cpu_percent     CPU of tolvane-play playing the FLAC in
//                                   real time on the null sink, in percent
//                                   of one core (target < 2)
//   RESULT rapid_clicks_play_ms     four clicks 150 ms apart on 30-minute
//                                   mp3s (each starting its waveform, track
//                                   information and duration work): from the
//                                   last click to the first frame of the last
//                                   track (target <= 300)

#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "audio/audiooutput.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

const QString Player = QStringLiteral(TOLVANE_BINARY_DIR "/tolvane-play");

QString fixtureDir() {
    return QStringLiteral(TOLVANE_BINARY_DIR "/bench-data/playback");
}

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench_playback: %s\n", qPrintable(what));
    std::exit(1);
}

// Runs a program to its end (or stops it with SIGTERM after `stopAfterMs`);
// returns the CPU seconds it used.
double
childCpuSeconds(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
                double* wallSeconds = nullptr) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer wall;
    wall.start();
    process.start(program, arguments);
    if (!process.waitForStarted())
        fail(QStringLiteral("cannot start ") + program);
    if (!process.waitForFinished(600000))
        fail(program + QStringLiteral(" did not finish"));
    if (wallSeconds)
        *wallSeconds = wall.elapsed() / 1000.0;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        fail(program + QStringLiteral(" failed"));
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
           seconds(before.ru_stime);
}

// Ten minutes of stereo pink noise (as costly to decode as music), 44.1 kHz,
// as FLAC and as mp3. Generated once; later runs reuse them.
void generateFixtures(QString* flac, QString* mp3) {
    QDir().mkpath(fixtureDir());
    *flac = fixtureDir() + QStringLiteral("/ten-minutes.flac");
    *mp3 = fixtureDir() + QStringLiteral("/ten-minutes.mp3");
    const QStringList source{QStringLiteral("-v"),
                             QStringLiteral("error"),
                             QStringLiteral("-y"),
                             QStringLiteral("-f"),
                             QStringLiteral("lavfi"),
                             QStringLiteral("-i"),
                             QStringLiteral("anoisesrc=c=pink:a=0.25:d=600:r=44100:seed=1"),
                             QStringLiteral("-f"),
                             QStringLiteral("lavfi"),
                             QStringLiteral("-i"),
                             QStringLiteral("anoisesrc=c=pink:a=0.25:d=600:r=44100:seed=2"),
                             QStringLiteral("-filter_complex"),
                             QStringLiteral("amerge=inputs=2")};
    for (const auto& [path, codec] :
         {std::pair{*flac, QStringList{QStringLiteral("-sample_fmt"), QStringLiteral("s16")}},
          std::pair{*mp3, QStringList{QStringLiteral("-b:a"), QStringLiteral("192k")}}}) {
        if (QFile::exists(path))
            continue;
        std::printf("Generating %s ...\n", qPrintable(path));
        std::fflush(stdout);
        const QString partial =
            fixtureDir() + QStringLiteral("/partial.") + QFileInfo(path).suffix();
        if (QProcess::execute(QStringLiteral("ffmpeg"), source + codec + QStringList{partial}) !=
                0 ||
            !QFile::rename(partial, path))
            fail(QStringLiteral("cannot generate ") + path);
    }
}

double renderRatio(const QString& file, const char* name) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TOLVANE_AUDIO_OUTPUT"), QStringLiteral("wav:/dev/null"));
    environment.insert(QStringLiteral("TOLVANE_OUTPUT_PACE"), QStringLiteral("fast"));
    double engine = 1e9;
    double ffmpeg = 1e9;
    for (int run = 0; run < 2; ++run) {
        engine = std::min(engine, childCpuSeconds(Player, {file}, environment));
        ffmpeg = std::min(ffmpeg, childCpuSeconds(QStringLiteral("ffmpeg"),
                                                  {QStringLiteral("-v"), QStringLiteral("error"),
                                                   QStringLiteral("-i"), file, QStringLiteral("-f"),
                                                   QStringLiteral("f32le"), QStringLiteral("-y"),
                                                   QStringLiteral("/dev/null")}));
    }
    std::printf("%s: engine render %.3f s CPU, ffmpeg decode %.3f s CPU\n", name, engine, ffmpeg);
    return engine / ffmpeg;
}

// CPU seconds a running process has used so far, from /proc.
double processCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read ") + stat.fileName());
    const QByteArray text = stat.readAll();
    // Fields after the command name, which ends with the last ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// tolvane-play playing `file` in real time: its CPU over 15 s of steady
// playback, in percent of one core.
double steadyPlaybackCpuPercent(const QString& file, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(Player, {file});
    if (!process.waitForStarted())
        fail(QStringLiteral("cannot start ") + Player);
    QThread::sleep(3);
    const double startCpu = processCpuSeconds(process.processId());
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(15);
    const double cpu = processCpuSeconds(process.processId()) - startCpu;
    const double seconds = wall.nsecsElapsed() / 1e9;
    process.terminate();
    process.waitForFinished();
    std::printf("playback: %.3f s CPU in %.1f s of playing\n", cpu, seconds);
    return 100.0 * cpu / seconds;
}

// From loadFile(autoPlay: true) to the first frame the sink takes; prints
// when the item was ready and when play was called on the way.
double firstFrameMs(MediaLibraryViewModel& vm, const MediaItem& item) {
    AudioOutput& output = AudioOutput::shared();
    if (vm.player())
        vm.player()->pause();
    QCoreApplication::processEvents();
    QThread::msleep(50);
    const int64_t before = output.framesPlayed();
    QElapsedTimer timer;
    timer.start();
    vm.loadFile(item, true);
    const double loaded = timer.nsecsElapsed() / 1e6;
    double ready = -1;
    double playing = -1;
    while (output.framesPlayed() == before) {
        if (timer.elapsed() > 5000)
            fail(QStringLiteral("no frame reached the sink"));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QueuePlayer* player = vm.player();
        if (ready < 0 && player && player->currentItem() &&
            player->currentItem()->status() == PlayerItem::Status::ReadyToPlay)
            ready = timer.nsecsElapsed() / 1e6;
        if (playing < 0 && player && player->rate() > 0)
            playing = timer.nsecsElapsed() / 1e6;
    }
    const double first = timer.nsecsElapsed() / 1e6;
    std::printf("  loadFile returned %.1f ms, item ready %.1f ms, play %.1f ms, frame %.1f ms\n",
                loaded, ready, playing, first);
    return first;
}

// Thirty minutes of the mp3 by stream copy (no new encoding). Generated once.
QString thirtyMinuteMp3(const QString& tenMinutes) {
    const QString path = fixtureDir() + QStringLiteral("/thirty-minutes.mp3");
    if (QFile::exists(path))
        return path;
    const QString partial = fixtureDir() + QStringLiteral("/partial-thirty.mp3");
    if (QProcess::execute(QStringLiteral("ffmpeg"),
                          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                           QStringLiteral("-stream_loop"), QStringLiteral("2"),
                           QStringLiteral("-i"), tenMinutes, QStringLiteral("-c"),
                           QStringLiteral("copy"), partial}) != 0 ||
        !QFile::rename(partial, path))
        fail(QStringLiteral("cannot make ") + path);
    return path;
}

// Runs the event loop for `ms` milliseconds.
void runEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// A user skimming an album: four clicks 150 ms apart, each a new long file
// whose waveform, track information and duration are wanted at once.
double rapidClicksMs(const QString& longMp3) {
    QTemporaryDir music;
    QList<MediaItem> files;
    for (int i = 0; i < 4; ++i) {
        // Hard links: other paths (so nothing is cached yet), no copying.
        const QString link = music.filePath(QStringLiteral("long%1.mp3").arg(i));
        if (::link(QFile::encodeName(longMp3).constData(), QFile::encodeName(link).constData()) !=
                0 &&
            !QFile::copy(longMp3, link))
            fail(QStringLiteral("cannot place ") + link);
        files << MediaItem::audioFile(link);
    }
    AudioOutput& output = AudioOutput::shared();
    MediaLibraryViewModel vm;
    vm.setRootFolder(MediaItem::folder(music.path(), files));
    QElapsedTimer timer;
    for (int i = 0; i < files.size(); ++i) {
        if (i > 0)
            runEventsFor(150);
        vm.playItem(files[i], 0, true);
        timer.start();
    }
    // Frames counted once the last player plays are its own (an earlier
    // player's last render may still land after it was replaced).
    int64_t before = -1;
    while (before < 0 || output.framesPlayed() == before) {
        if (timer.elapsed() > 30000)
            fail(QStringLiteral("the last click never played"));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (before < 0 && vm.player() && vm.player()->rate() > 0)
            before = output.framesPlayed();
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    if (vm.player())
        vm.player()->pause();
    // Lets the background work end before the files go.
    QThreadPool::globalInstance()->waitForDone();
    AtomicFileWriter::shared().waitForIdle();
    std::printf("rapid clicks: last click to first frame %.1f ms\n", ms);
    return ms;
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    for (const char* name : {"data", "config", "cache"})
        QDir().mkpath(home.path() + QLatin1Char('/') + QLatin1String(name));
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/cache")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TOLVANE_AUDIO_OUTPUT", "null");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("TolvaneBench"));
    QCoreApplication::setApplicationName(QStringLiteral("TolvaneBench"));
    if (!QFile::exists(Player))
        fail(QStringLiteral("build tolvane-play first"));

    QString flac;
    QString mp3;
    generateFixtures(&flac, &mp3);
    // `bench_playback rapid_clicks` measures that figure alone.
    if (argc > 1 && QByteArray(argv[1]) == "rapid_clicks") {
        std::printf("RESULT rapid_clicks_play_ms %.1f\n", rapidClicksMs(thirtyMinuteMp3(mp3)));
        return 0;
    }

    const double flacRatio = renderRatio(flac, "flac");
    const double mp3Ratio = renderRatio(mp3, "mp3");

    // First frame after a load, through the view model on the null sink.
    QTemporaryDir music;
    QStringList copies;
    for (int i = 0; i < 6; ++i) {
        const QString copy = music.filePath(QStringLiteral("track%1.flac").arg(i));
        if (QProcess::execute(QStringLiteral("ffmpeg"),
                              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                               QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("-i"),
                               flac, copy}) != 0)
            fail(QStringLiteral("cannot cut ") + copy);
        copies << copy;
    }
    std::vector<double> warm;
    double cold = 0;
    {
        QList<MediaItem> files;
        for (const QString& copy : copies)
            files << MediaItem::audioFile(copy);
        MediaLibraryViewModel vm;
        vm.setRootFolder(MediaItem::folder(music.path(), files));
        cold = firstFrameMs(vm, files[0]);
        for (int i = 1; i < files.size(); ++i)
            warm.push_back(firstFrameMs(vm, files[i]));
        if (vm.player())
            vm.player()->pause();
        AtomicFileWriter::shared().waitForIdle();
    }
    const double rapidClicks = rapidClicksMs(thirtyMinuteMp3(mp3));
    std::sort(warm.begin(), warm.end());
    std::printf("first frame: cold %.1f ms, warm %.1f .. %.1f ms\n", cold, warm.front(),
                warm.back());

    // Steady playback on the null sink in real time, start-up left out.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TOLVANE_AUDIO_OUTPUT"), QStringLiteral("null"));
    environment.remove(QStringLiteral("TOLVANE_OUTPUT_PACE"));
    const double cpuPercent = steadyPlaybackCpuPercent(flac, environment);
    std::printf("RESULT flac_render_over_ffmpeg %.3f\n", flacRatio);
    std::printf("RESULT mp3_render_over_ffmpeg %.3f\n", mp3Ratio);
    std::printf("RESULT first_frame_ms %.1f\n", warm[warm.size() / 2]);
    std::printf("RESULT first_frame_cold_ms %.1f\n", cold);
    std::printf("RESULT playback_cpu_percent %.2f\n", cpuPercent);
    std::printf("RESULT rapid_clicks_play_ms %.1f\n", rapidClicks);
    return 0;
}
