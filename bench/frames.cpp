// Frames and GUI-thread stalls of the real program under Xvfb, on the
// library of 100,000 audio files in 10,000 folders (cached, with covers that
// the grid decodes), while the sidebar grid is scrolled and while a search is
// typed. The program writes its frame log (TOLVANE_FRAME_LOG); xdotool plays
// the user.
//
//   RESULT grid_scroll_worst_frame_ms     300 wheel steps 20 ms apart over the
//                                         grid (150 down, 150 up): the longest
//                                         a frame was due
//   RESULT grid_scroll_worst_stall_ms     the longest the GUI thread's event
//                                         loop was held up meanwhile (target <= 50)
//   RESULT search_typing_worst_frame_ms   Ctrl+F, then a search typed 80 ms a key
//   RESULT search_typing_worst_stall_ms   (target <= 50)
//   RESULT *_worst_gui_busy_ms            the GUI thread's own longest stretch
//                                         of computing, in either phase
//
// A frame's time is how long it was due: at most since the previous frame,
// but a quiet spell in between (nothing moved until an input or a cover came)
// does not count. The log tells a spell that counts only from below: the
// GUI thread's longest stall in between plus the frame's render, or its
// render plus one refresh period (a frame asked for waits for the next one);
// the frame time is the larger of those, capped by the interval. The stall
// figures count other processes holding the core too; the GUI thread's own
// computing is printed besides (its worst stretch between two timer ticks),
// with frame counts and median, the slowest render and how many covers the
// run decoded into the artwork cache. The scene is drawn the way the program
// chooses (under Xvfb: OpenGL on the llvmpipe rasteriser, on its render
// thread); QT_QUICK_BACKEND=software in the environment measures Qt Quick's
// software renderer instead. Needs Xvfb and xdotool.

#include "benchdisplay.h"
#include "benchlibrary.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <ctime>
#include <vector>

namespace {

constexpr int kWheelSteps = 300;
constexpr int kWheelSpacingMs = 20;
constexpr int kKeySpacingMs = 80;
const char* const kTyped = "album 42";
// What still moves after the last input (a flick slowing down, rows fading)
// belongs to its phase.
constexpr double kPhaseTailMs = 600;
constexpr double kRefreshMs = 1000.0 / 60;

double monotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Frame {
    double at = 0;
    double render = 0;
};
struct Tick {
    double at = 0;
    double late = 0;
    double cpu = 0;
};

struct FrameLog {
    std::vector<Frame> frames;
    std::vector<Tick> ticks;
};

FrameLog readLog(const QString& path) {
    FrameLog log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return log;
    QTextStream lines(&file);
    while (!lines.atEnd()) {
        const QStringList fields = lines.readLine().split(QLatin1Char(' '));
        if (fields.size() >= 4 && fields[0] == QLatin1String("frame"))
            log.frames.push_back({fields[1].toDouble(), fields[3].toDouble()});
        else if (fields.size() >= 4 && fields[0] == QLatin1String("late"))
            log.ticks.push_back({fields[1].toDouble(), fields[2].toDouble(), fields[3].toDouble()});
    }
    return log;
}

struct PhaseFigures {
    int frames = 0;
    double medianFrameMs = 0;
    double worstFrameMs = 0;
    double worstRenderMs = 0;
    double worstStallMs = 0;
    double worstBusyMs = 0;
    double busyMs = 0;
};

// The figures of what happened between `from` and `to`.
PhaseFigures figuresOf(const FrameLog& log, double from, double to) {
    PhaseFigures figures;
    std::vector<double> due;
    double previous = from;
    auto tick = log.ticks.begin();
    for (const Frame& frame : log.frames) {
        if (frame.at < from)
            continue;
        if (frame.at > to)
            break;
        double stall = 0;
        for (; tick != log.ticks.end() && tick->at <= frame.at; ++tick) {
            if (tick->at > previous)
                stall = std::max(stall, tick->late);
        }
        const double spell = std::max(frame.render + kRefreshMs, stall + frame.render);
        due.push_back(std::min(frame.at - previous, spell));
        figures.worstRenderMs = std::max(figures.worstRenderMs, frame.render);
        previous = frame.at;
    }
    figures.frames = int(due.size());
    if (!due.empty()) {
        figures.worstFrameMs = *std::max_element(due.begin(), due.end());
        std::sort(due.begin(), due.end());
        figures.medianFrameMs = due[due.size() / 2];
    }
    for (const Tick& each : log.ticks) {
        if (each.at >= from && each.at <= to) {
            figures.worstStallMs = std::max(figures.worstStallMs, each.late);
            figures.worstBusyMs = std::max(figures.worstBusyMs, each.cpu);
            figures.busyMs += each.cpu;
        }
    }
    return figures;
}

void report(const char* name, const PhaseFigures& figures) {
    std::printf(
        "%s: %d frames, median %.1f ms, worst %.1f ms; slowest render %.1f ms; worst "
        "stall %.1f ms; the GUI thread computed %.0f ms, at most %.1f ms between two ticks\n",
        name, figures.frames, figures.medianFrameMs, figures.worstFrameMs, figures.worstRenderMs,
        figures.worstStallMs, figures.busyMs, figures.worstBusyMs);
    std::printf("RESULT %s_worst_frame_ms %.1f\n", name, figures.worstFrameMs);
    std::printf("RESULT %s_worst_stall_ms %.1f\n", name, figures.worstStallMs);
    std::printf("RESULT %s_worst_gui_busy_ms %.1f\n", name, figures.worstBusyMs);
}

class Session {
public:
    Session(const QString& home, const QString& display) : m_home(home) {
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("HOME"), home);
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/run"));
        m_environment.insert(QStringLiteral("DISPLAY"), display);
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_environment.insert(QStringLiteral("TOLVANE_AUDIO_OUTPUT"), QStringLiteral("null"));
        m_environment.insert(QStringLiteral("TOLVANE_REPORT_FIRST_FRAME"), QStringLiteral("1"));
        // Qt Quick says how it draws, for the report.
        m_environment.insert(QStringLiteral("QSG_INFO"), QStringLiteral("1"));
        m_environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        QDir().mkpath(home + QStringLiteral("/run"));
        QFile::setPermissions(home + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                                 QFileDevice::WriteOwner |
                                                                 QFileDevice::ExeOwner);
    }

    QProcessEnvironment& environment() { return m_environment; }
    const QString& home() const { return m_home; }

    bool xdotool(const QStringList& arguments, QByteArray* output = nullptr) {
        QProcess tool;
        tool.setProcessEnvironment(m_environment);
        tool.start(QStringLiteral("xdotool"), arguments);
        if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
            std::fprintf(stderr, "xdotool %s failed\n", qPrintable(arguments.join(' ')));
            return false;
        }
        if (output)
            *output = tool.readAllStandardOutput().trimmed();
        return true;
    }

private:
    QString m_home;
    QProcessEnvironment m_environment;
};

QString libraryCacheFile(const QString& dataHome) {
    QDirIterator files(dataHome + QStringLiteral("/OrrisMediaPlayer/LibraryStructure"),
                       {QStringLiteral("*_library.json")}, QDir::Files);
    return files.hasNext() ? files.next() : QString();
}

int artworkFileCount(const QString& dataHome) {
    int count = 0;
    QDirIterator files(dataHome + QStringLiteral("/OrrisMediaPlayer/Artwork"), QDir::Files);
    for (; files.hasNext(); files.next())
        ++count;
    return count;
}

// Qt Quick's own account of how it draws: the backend it loaded, else the
// graphics API, render loop and OpenGL renderer it reported.
QString renderer(const Session& session) {
    QFile file(session.home() + QStringLiteral("/program-output.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("unknown");
    QStringList facts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString fact = QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
        if (line.contains("Loading backend"))
            return fact;
        for (const char* mark : {"Using QRhi with backend", "render loop", "RENDERER:"}) {
            if (line.contains(mark) && !facts.contains(fact))
                facts << fact;
        }
    }
    return facts.isEmpty() ? QStringLiteral("unknown") : facts.join(QStringLiteral("; "));
}

// How busy the machine was: the figures count waiting for the cores too.
QByteArray loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

void stop(QProcess& program) {
    program.terminate();
    if (!program.waitForFinished(10000)) {
        std::printf("the program did not end within 10 s of SIGTERM\n");
        program.kill();
    }
    program.waitForFinished();
}

// Starts the program and waits for its first frame. What it prints goes to
// a file: a pipe that nobody reads while xdotool plays would fill up and
// hold the program at its next line.
bool start(QProcess& program, Session& session, const QStringList& arguments) {
    const QString output = session.home() + QStringLiteral("/program-output.txt");
    program.setProcessEnvironment(session.environment());
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(output);
    program.start(QStringLiteral(TOLVANE_BINARY_DIR "/tolvane"), arguments);
    return waitFor(
               [&] {
                   QFile file(output);
                   return (file.open(QIODevice::ReadOnly) &&
                           file.readAll().contains("first frame\n")) ||
                          program.state() == QProcess::NotRunning;
               },
               30000) &&
           program.state() == QProcess::Running;
}

int run(const QString& root) {
    if (!QFile::exists(QStringLiteral(TOLVANE_BINARY_DIR "/tolvane"))) {
        std::printf("the program is not built\n");
        return 1;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        std::printf("no xdotool\n");
        return 1;
    }
    VirtualDisplay display;
    if (!display.start()) {
        std::printf("no Xvfb\n");
        return 1;
    }
    QTemporaryDir home;
    const QString dataHome = home.path() + QStringLiteral("/data");
    const QString configDir = home.path() + QStringLiteral("/config/Tolvane");
    QDir().mkpath(configDir);
    QFile settings(configDir + QStringLiteral("/Tolvane.conf"));
    if (!settings.open(QIODevice::WriteOnly) ||
        settings.write("[General]\nuseGridSidebar=true\n") < 0) {
        std::printf("cannot write the settings\n");
        return 1;
    }
    settings.close();
    Session session(home.path(), display.name());

    // First start: the folder is opened, scanned and its tree cached.
    {
        QProcess program;
        if (!start(program, session, {root}) ||
            !waitFor([&] { return !libraryCacheFile(dataHome).isEmpty(); }, 120000)) {
            std::printf("the library was not cached\n");
            stop(program);
            return 1;
        }
        QThread::msleep(1000);
        stop(program);
    }

    // The measured start comes back to the cached tree, refreshes it with a
    // scan and stores it again; the phases begin once that is done.
    const QString cacheFile = libraryCacheFile(dataHome);
    const QDateTime cachedAt = QFileInfo(cacheFile).lastModified();
    const int artworkBefore = artworkFileCount(dataHome);
    const QString logPath = home.path() + QStringLiteral("/frames.log");
    session.environment().insert(QStringLiteral("TOLVANE_FRAME_LOG"), logPath);
    QProcess program;
    if (!start(program, session, {})) {
        std::printf("the program did not show its window\n");
        stop(program);
        return 1;
    }
    if (!waitFor([&] { return QFileInfo(cacheFile).lastModified() != cachedAt; }, 120000))
        std::printf("the library was not refreshed within 120 s; measuring anyway\n");
    QThread::msleep(1500);

    QByteArray window;
    if (!session.xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--pid"), QString::number(program.processId())},
                         &window) ||
        window.isEmpty()) {
        std::printf("no window\n");
        stop(program);
        return 1;
    }
    window = window.split('\n').first();
    // The window opens at 1200x780 with the sidebar 320 wide: the pointer
    // goes over the grid, in the middle of the sidebar.
    session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString(window),
                     QStringLiteral("160"), QStringLiteral("420")});
    QThread::msleep(500);

    // Down, then back up: the grid runs into its end well before 300 steps
    // (buttons 5 and 4 are the wheel's steps down and up).
    const double scrollFrom = monotonicMs();
    for (const char* button : {"5", "4"}) {
        session.xdotool({QStringLiteral("click"), QStringLiteral("--repeat"),
                         QString::number(kWheelSteps / 2), QStringLiteral("--delay"),
                         QString::number(kWheelSpacingMs), QLatin1String(button)});
    }
    const double scrollTo = monotonicMs() + kPhaseTailMs;
    QThread::msleep(1500);

    // Without a window manager the window is given the keyboard outright;
    // then a click on the search field, which Ctrl+F focuses as well.
    session.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString(window)});
    session.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString(window),
                     QStringLiteral("100"), QStringLiteral("49"), QStringLiteral("click"),
                     QStringLiteral("1")});
    session.xdotool({QStringLiteral("key"), QStringLiteral("ctrl+f")});
    QThread::msleep(500);
    const double typeFrom = monotonicMs();
    session.xdotool({QStringLiteral("type"), QStringLiteral("--delay"),
                     QString::number(kKeySpacingMs), QLatin1String(kTyped)});
    const double typeTo = monotonicMs() + kPhaseTailMs;
    QThread::msleep(1500);
    stop(program);

    const FrameLog log = readLog(logPath);
    if (log.frames.empty() || log.ticks.empty()) {
        std::printf("the frame log is empty\n");
        return 1;
    }
    std::printf("covers decoded into the artwork cache during the run: %d\n",
                artworkFileCount(dataHome) - artworkBefore);
    std::printf("load average: %s\n", loadAverage().constData());
    std::printf("drawn by: %s\n", qPrintable(renderer(session)));
    report("grid_scroll", figuresOf(log, scrollFrom, scrollTo));
    report("search_typing", figuresOf(log, typeFrom, typeTo));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = libraryRoot();
    generateLibrary(root);
    giveCovers(root);
    return run(root);
}
