// Scanning a library of 100,000 audio files in 10,000 folders, side by side
// with `find` over the same tree, and loading the tree from its cache file.
//
//   RESULT scan_over_find    scan time / find time (target <= 2.0)
//   RESULT cacheload_over_scan  cache load time / scan time (target <= 0.5)
//   RESULT tree_mb           heap held by the scanned tree (target <= 100)
//   RESULT gui_stall_ms      longest time the GUI thread's loop did not turn while a
//                            view model opened the library, without and with its
//                            cached tree (target <= 100); printed with the share the
//                            GUI thread itself computed
//
// The library is generated once under the build directory and reused.

#include "app/medialibraryviewmodel.h"
#include "benchlibrary.h"
#include "cache/atomicfilewriter.h"
#include "library/libraryscanner.h"
#include "library/librarystructurecache.h"
#include "library/mediaitemjson.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <malloc.h>
#include <vector>

namespace {

double seconds(const std::function<void()>& body) {
    QElapsedTimer timer;
    timer.start();
    body();
    return double(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

int countNodes(const MediaItem& item) {
    int count = 1;
    if (item.children)
        for (const MediaItem& child : *item.children)
            count += countNodes(child);
    return count;
}

// Times every event the GUI thread handles, to tell its own work apart from
// time the system gave to other threads.
class TimedApplication : public QGuiApplication {
public:
    using QGuiApplication::QGuiApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        QElapsedTimer timer;
        timer.start();
        const qint64 cpuBefore = threadCpuNs();
        const bool handled = QGuiApplication::notify(receiver, event);
        longestEventNs = std::max(longestEventNs, timer.nsecsElapsed());
        longestEventCpuNs = std::max(longestEventCpuNs, threadCpuNs() - cpuBefore);
        return handled;
    }
    void resetTimes() { longestEventNs = longestEventCpuNs = 0; }

    qint64 longestEventNs = 0;
    // Time the GUI thread itself computed; the rest of an event's wall-clock
    // time went to other threads and processes.
    qint64 longestEventCpuNs = 0;

private:
    static qint64 threadCpuNs() {
        timespec now;
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
};

// Runs the event loop until `done` holds, with `start` called inside it, and
// returns the longest time the GUI thread did not come back to its loop.
double longestStallMs(const std::function<void()>& start, const std::function<bool()>& done) {
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (done() && QThreadPool::globalInstance()->activeThreadCount() == 0)
            loop.quit();
    });
    clock.start();
    ticker.start();
    QTimer::singleShot(0, &loop, [&] {
        const qint64 before = clock.nsecsElapsed();
        start();
        longest = std::max(longest, clock.nsecsElapsed() - before);
    });
    loop.exec();
    return double(longest) / 1e6;
}

// Opens the library in a view model: without its cached tree (one scan),
// then with it (the cached tree at once, then a refresh that re-attaches the
// selection), once with an album selected and once with the root folder and
// its 100,000 files selected. Each figure is the longest wall-clock gap of
// the GUI thread's loop, and the longest single event it handled.
struct Stall {
    double gapMs = 0;
    double eventMs = 0;
    double eventCpuMs = 0;
};

struct Stalls {
    Stall withoutCache;
    Stall cachedAlbumSelected;
    Stall cachedRootSelected;
};

Stall measureOpen(TimedApplication& app, MediaLibraryViewModel& viewModel, const QUrl& root,
                  const std::function<bool()>& done) {
    app.resetTimes();
    Stall stall;
    stall.gapMs = longestStallMs([&] { viewModel.openFolder(root); }, done);
    stall.eventMs = double(app.longestEventNs) / 1e6;
    stall.eventCpuMs = double(app.longestEventCpuNs) / 1e6;
    return stall;
}

Stalls openFolderStalls(TimedApplication& app, const QUrl& root) {
    MediaLibraryViewModel viewModel;
    int installs = 0;
    QObject::connect(&viewModel, &MediaLibraryViewModel::rootFolderChanged, &viewModel,
                     [&] { ++installs; });
    Stalls stalls;
    stalls.withoutCache =
        measureOpen(app, viewModel, root, [&] { return installs == 1 && !viewModel.isLoading(); });
    AtomicFileWriter::shared().waitForIdle();

    const MediaItem& firstArtist = viewModel.rootFolder()->children->first();
    viewModel.setSelectedFolder(firstArtist.children->first());
    stalls.cachedAlbumSelected = measureOpen(app, viewModel, root, [&] { return installs == 3; });
    AtomicFileWriter::shared().waitForIdle();

    viewModel.setSelectedFolder(viewModel.rootFolder());
    stalls.cachedRootSelected = measureOpen(app, viewModel, root, [&] { return installs == 5; });
    AtomicFileWriter::shared().waitForIdle();
    return stalls;
}

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path() + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TOLVANE_AUDIO_OUTPUT"))
        qputenv("TOLVANE_AUDIO_OUTPUT", "null");
    TimedApplication app(argc, argv);

    const QString root = libraryRoot();
    generateLibrary(root);
    const QUrl rootUrl = QUrl::fromLocalFile(root);
    const QByteArray findCommand =
        "find '" + QFile::encodeName(root) + "' -printf '%y %p\\n' > /dev/null";
    const QString cacheFile = home.path() + QStringLiteral("/library.json");

    // Warm the file-system caches and measure the tree's memory.
    if (std::system(findCommand.constData()) != 0)
        return 1;
    const size_t heapBefore = heapInUse();
    std::optional<MediaItem> tree = scanDirectory(rootUrl);
    const double treeMb = double(heapInUse() - heapBefore) / (1024.0 * 1024.0);
    const int nodes = countNodes(*tree);
    {
        QFile file(cacheFile);
        file.open(QIODevice::WriteOnly);
        file.write(encodeMediaItem(*tree));
    }
    tree.reset();

    std::vector<double> scanTimes, findTimes, loadTimes;
    for (int round = 0; round < 3; ++round) {
        findTimes.push_back(seconds([&] { (void)std::system(findCommand.constData()); }));
        scanTimes.push_back(seconds([&] { (void)scanDirectory(rootUrl); }));
        loadTimes.push_back(seconds([&] { (void)LibraryStructureCache::load(cacheFile); }));
    }
    const double scan = median(scanTimes);
    const double find = median(findTimes);
    const double load = median(loadTimes);
    std::printf("nodes in tree: %d, cache file: %lld bytes\n", nodes,
                static_cast<long long>(QFileInfo(cacheFile).size()));
    std::printf("scan %.3f s, find %.3f s, cache load %.3f s (median of 3)\n", scan, find, load);
    std::printf("RESULT scan_over_find %.2f\n", scan / find);
    std::printf("RESULT cacheload_over_scan %.2f\n", load / scan);
    std::printf("RESULT tree_mb %.1f\n", treeMb);

    const Stalls stalls = openFolderStalls(app, rootUrl);
    const auto show = [](const char* what, const Stall& stall) {
        std::printf("openFolder %s: longest GUI-thread stall %.1f ms, longest event %.1f ms "
                    "(%.1f ms of it computing on the GUI thread)\n",
                    what, stall.gapMs, stall.eventMs, stall.eventCpuMs);
    };
    show("without the cached tree", stalls.withoutCache);
    show("with the cached tree, an album selected", stalls.cachedAlbumSelected);
    show("with the cached tree, the root folder selected", stalls.cachedRootSelected);
    std::printf("RESULT gui_stall_ms %.1f\n",
                std::max({stalls.withoutCache.gapMs, stalls.cachedAlbumSelected.gapMs,
                          stalls.cachedRootSelected.gapMs}));
    return 0;
}
