// The player panel's cost while music plays: the real program under Xvfb,
// window visible, a track with artwork and a waveform playing on the null
// output, with more folders waiting in the queue strip.
//
//   RESULT playing_gui_cpu_pct   the GUI thread's CPU over 30 s, in % of one
//                                core (target < 5: the twenty progress
//                                updates a second touch only the scrubber
//                                and the time labels)
//
// Printed besides: the whole process's CPU over the same time.
// Needs Xvfb, dbus-run-session, playerctl and ffmpeg.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr int kMeasureSeconds = 30;

bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput().trimmed();
    return true;
}

// user + system clock ticks of one thread (or of the process when tid is 0).
long long cpuTicks(qint64 pid, qint64 tid) {
    const QString path = tid ? QStringLiteral("/proc/%1/task/%2/stat").arg(pid).arg(tid)
                             : QStringLiteral("/proc/%1/stat").arg(pid);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

bool makeLibrary(const QString& root) {
    const QStringList folders{"Alpha", "Beta", "Gamma", "Delta"};
    const QStringList pictures{"testsrc", "testsrc2", "rgbtestsrc", "smptebars"};
    for (int i = 0; i < folders.size(); ++i) {
        const QString folder = root + "/" + folders[i];
        QDir().mkpath(folder);
        const QString tone =
            QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=90").arg(220 + 110 * i);
        if (!run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", tone, "-af",
                            "volume='0.3+0.7*abs(sin(t*0.7))':eval=frame", "-ac", "2", "-metadata",
                            "title=Track " + folders[i], "-metadata", "artist=Bench Ensemble",
                            folder + "/01 Track.flac"}) ||
            !run("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", pictures[i] + "=size=400x400",
                            "-frames:v", "1", folder + "/cover.jpg"}))
            return false;
    }
    return true;
}

int inside(const QString& program, const QString& work) {
    const QString music = work + "/music";
    if (!makeLibrary(music))
        return 1;

    const int display = 80 + int(getpid() % 100);
    QProcess xvfb;
    xvfb.start("Xvfb", {QStringLiteral(":%1").arg(display), "-screen", "0", "1400x900x24",
                        "-nolisten", "tcp"});
    if (!xvfb.waitForStarted())
        return 1;
    QThread::msleep(100);
    for (int i = 0; i < 50 && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(display));
         ++i)
        QThread::msleep(100);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QStringLiteral(":%1").arg(display));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("TOLVANE_AUDIO_OUTPUT", "null");
    env.insert("HOME", work);
    env.insert("XDG_DATA_HOME", work + "/data");
    env.insert("XDG_CONFIG_HOME", work + "/config");
    env.insert("XDG_CACHE_HOME", work + "/cache");
    env.insert("XDG_RUNTIME_DIR", work + "/run");
    QDir().mkpath(work + "/run");
    QFile::setPermissions(work + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess player;
    player.setProcessEnvironment(env);
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.setStandardOutputFile(work + "/out.txt");
    player.start(program, {music});
    if (!player.waitForStarted())
        return 1;
    const qint64 pid = player.processId();

    auto playerctl = [&](const QStringList& arguments, QByteArray* output = nullptr) {
        return run("playerctl", QStringList{"-p", "tolvane"} + arguments, output);
    };
    auto waitFor = [](const std::function<bool()>& done) {
        for (int i = 0; i < 200; ++i) {
            if (done())
                return true;
            QThread::msleep(50);
        }
        return false;
    };
    auto playing = [&] {
        QByteArray status;
        return playerctl({"status"}, &status) && status == "Playing";
    };
    // Each opened file plays next to the current one; stepping back to the
    // first leaves the other folders waiting in the queue strip.
    bool ok = waitFor([&] { return playerctl({"status"}); });
    for (const char* folder : {"Alpha", "Beta", "Gamma", "Delta"})
        ok = ok && playerctl({"open", "file://" + music + "/" + folder + "/01 Track.flac"});
    for (int i = 0; i < 3; ++i)
        ok = ok && playerctl({"previous"});
    ok = ok && waitFor(playing);
    if (!ok) {
        std::fprintf(stderr, "the player did not start playing\n");
        player.kill();
        xvfb.kill();
        return 1;
    }
    QThread::sleep(3); // artwork, waveform and the first frames settle

    const long long guiBefore = cpuTicks(pid, pid);
    const long long allBefore = cpuTicks(pid, 0);
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(kMeasureSeconds);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const long long guiAfter = cpuTicks(pid, pid);
    const long long allAfter = cpuTicks(pid, 0);
    const bool stillPlaying = playing();

    player.terminate();
    if (!player.waitForFinished(5000))
        player.kill();
    xvfb.terminate();
    xvfb.waitForFinished(3000);

    if (guiBefore < 0 || guiAfter < 0 || !stillPlaying) {
        std::fprintf(stderr, "could not measure (playing: %d)\n", int(stillPlaying));
        return 1;
    }
    const double tick = double(sysconf(_SC_CLK_TCK));
    const double gui = double(guiAfter - guiBefore) / tick / seconds * 100;
    const double all = double(allAfter - allBefore) / tick / seconds * 100;
    std::printf("GUI thread %.2f %% and whole process %.2f %% of one core over %.1f s\n", gui, all,
                seconds);
    std::printf("RESULT playing_gui_cpu_pct %.2f\n", gui);
    std::printf("RESULT playing_process_cpu_pct %.2f\n", all);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral(TOLVANE_BINARY_DIR "/tolvane");
    // A private session bus for the player's media controls, which start it.
    if (argc < 2 || QByteArray(argv[1]) != "--inside") {
        QProcess bus;
        bus.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        bus.setProcessEnvironment(env);
        bus.start("dbus-run-session", {"--", QCoreApplication::applicationFilePath(), "--inside"});
        bus.waitForFinished(-1);
        return bus.exitCode();
    }
    QTemporaryDir work;
    return inside(program, work.path());
}
