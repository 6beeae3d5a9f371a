#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/persistedqueue.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QList<MediaItem> threeTracks = {MediaItem::audioFile("/m/A/1.mp3"),
                                      MediaItem::audioFile("/m/A/2 #.mp3"),
                                      MediaItem::audioFile("/m/B/\u00e9.flac")};

// What one run stored (the queue and the OLED care mode) the next run shows,
// and writes the queue back; a damaged queue file starts an empty queue.
TEST(ViewModelState, QueueAndSettingsSurviveARestart) {
    const QString queueFile = MediaCacheManager::shared().queueFilePath();
    QSettings().clear();
    QFile::remove(queueFile);
    EXPECT_EQ(capturedLines([] {
                  MediaLibraryViewModel first;
                  first.setIsOLEDCareMode(true);
                  AtomicFileWriter::shared().waitForIdle();
              }).filter("[Cache]"),
              QStringList{"[Cache] No global queue file found."});
    EXPECT_FALSE(QFile::exists(queueFile)) << "nothing to restore, nothing rewritten";
    writeFile(queueFile, PersistedQueue{threeTracks, 2}.toJson());

    std::unique_ptr<MediaLibraryViewModel> vm;
    const QStringList lines = capturedLines([&] {
        vm = std::make_unique<MediaLibraryViewModel>();
        AtomicFileWriter::shared().waitForIdle();
    });
    EXPECT_TRUE(vm->isOLEDCareMode());
    EXPECT_EQ(vm->playbackQueue(), threeTracks);
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_TRUE(lines.contains("[Cache] Successfully loaded queue of 3 items at index 2") &&
                lines.contains("[Cache] Saved queue to disk. (3 items)"));
    EXPECT_EQ(readFile(queueFile), (PersistedQueue{threeTracks, 2}.toJson()));

    vm.reset();
    writeFile(queueFile, PersistedQueue{threeTracks, 2}.toJson().left(40));
    capturedLines([&] { vm = std::make_unique<MediaLibraryViewModel>(); });
    EXPECT_TRUE(vm->playbackQueue().isEmpty());
    EXPECT_EQ(vm->currentQueueIndex(), 0);
}

// The root's files are prepared in the background for each new tree; a
// selection made before that arrives, or after another tree came in, must
// still list the files of the tree in place.
TEST(RootFileList, FollowsTheTreeInPlace) {
    QSettings().clear();
    MediaLibraryViewModel vm;
    auto tree = [](int files) {
        QList<MediaItem> songs;
        for (int i = 0; i < files; ++i)
            songs << MediaItem::audioFile(QStringLiteral("/m/A/%1.mp3").arg(i));
        return MediaItem::folder(QStringLiteral("/m"), {MediaItem::folder("/m/A", songs)});
    };
    const auto backgroundListArrives = [] {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    };
    vm.setRootFolder(tree(3));
    backgroundListArrives();
    vm.setSelectedFolder(*vm.rootFolder());
    EXPECT_EQ(vm.flattenedFiles().size(), 3);
    vm.setRootFolder(tree(5)); // no turn of the event loop: the list of 3 is stale
    vm.setSelectedFolder(*vm.rootFolder());
    EXPECT_EQ(vm.flattenedFiles().size(), 5);
    backgroundListArrives();
    vm.setSelectedFolder(vm.rootFolder()->children->first());
    vm.setSelectedFolder(*vm.rootFolder());
    EXPECT_EQ(vm.flattenedFiles(), *tree(5).children->first().children);
}

} // namespace
