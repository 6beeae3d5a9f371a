#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/persistedqueue.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QThreadPool>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class ViewModelState : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings().clear();
        QFile::remove(queueFile());
    }
    static QString queueFile() { return MediaCacheManager::shared().queueFilePath(); }
    static QList<MediaItem> threeTracks() {
        return {MediaItem::audioFile("/m/A/1.mp3"), MediaItem::audioFile("/m/A/2 #.mp3"),
                MediaItem::audioFile("/m/B/\u00e9.flac")};
    }
    static std::optional<PersistedQueue> storedQueue() {
        AtomicFileWriter::shared().waitForIdle();
        QString error;
        return PersistedQueue::fromJson(readFile(queueFile()), &error);
    }
};

TEST_F(ViewModelState, FirstLaunchStartsEmpty) {
    QStringList lines;
    std::unique_ptr<MediaLibraryViewModel> vm;
    lines = capturedLines([&] { vm = std::make_unique<MediaLibraryViewModel>(); });
    EXPECT_FALSE(vm->isOLEDCareMode());
    EXPECT_TRUE(vm->playbackQueue().isEmpty());
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_FALSE(vm->rootFolder() || vm->selectedFolder() || vm->selectedFile());
    EXPECT_EQ(vm->player(), nullptr);
    EXPECT_EQ(vm->volume(), 1.0f);
    EXPECT_FALSE(vm->isLoading() || vm->isBuffering() || vm->isDownloading());
    EXPECT_EQ(vm->progress()->currentTime(), 0.0);
    EXPECT_EQ(vm->progress()->duration(), 0.0);
    EXPECT_TRUE(lines.contains("[Cache] No global queue file found."));
    EXPECT_TRUE(QSettings().contains("isOLEDCareMode"));
    EXPECT_FALSE(QSettings().value("isOLEDCareMode").toBool());
    EXPECT_FALSE(QFile::exists(queueFile())) << "nothing to restore, nothing rewritten";
}

TEST_F(ViewModelState, StoredQueueIsRestoredAndWrittenBackTwice) {
    writeFile(queueFile(), PersistedQueue{threeTracks(), 2}.toJson());
    QSettings().setValue("isOLEDCareMode", true);
    std::unique_ptr<MediaLibraryViewModel> vm;
    const QStringList lines = capturedLines([&] {
        vm = std::make_unique<MediaLibraryViewModel>();
        AtomicFileWriter::shared().waitForIdle();
    });
    EXPECT_TRUE(vm->isOLEDCareMode());
    EXPECT_EQ(vm->playbackQueue(), threeTracks());
    EXPECT_EQ(vm->currentQueueIndex(), 2);
    EXPECT_TRUE(lines.contains("[Cache] Successfully loaded queue of 3 items at index 2"));
    EXPECT_GE(lines.count("[Cache] Saved queue to disk. (3 items)"), 1);
    const auto stored = storedQueue();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->queue, threeTracks());
    EXPECT_EQ(stored->index, 2);
}

TEST_F(ViewModelState, CorruptQueueFileStartsWithAnEmptyQueue) {
    writeFile(queueFile(), PersistedQueue{threeTracks(), 2}.toJson().left(40));
    std::unique_ptr<MediaLibraryViewModel> vm;
    const QStringList lines =
        capturedLines([&] { vm = std::make_unique<MediaLibraryViewModel>(); });
    EXPECT_TRUE(vm->playbackQueue().isEmpty());
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    ASSERT_FALSE(lines.filter("[Cache] Failed to decode queue JSON: ").isEmpty());
}

TEST_F(ViewModelState, EveryQueueAssignmentStoresTheQueue) {
    MediaLibraryViewModel vm;
    QSignalSpy queueSpy(&vm, &MediaLibraryViewModel::playbackQueueChanged);
    vm.setPlaybackQueue(threeTracks());
    EXPECT_EQ(storedQueue()->queue, threeTracks());

    // The same value again still notifies and rewrites the file.
    QFile::remove(queueFile());
    vm.setPlaybackQueue(threeTracks());
    EXPECT_EQ(queueSpy.count(), 2);
    EXPECT_EQ(storedQueue()->queue, threeTracks());

    vm.setCurrentQueueIndex(1);
    EXPECT_EQ(storedQueue()->index, 1);
    vm.setPlaybackQueue({});
    EXPECT_TRUE(storedQueue()->queue.isEmpty());
    EXPECT_EQ(storedQueue()->index, 1);
}

TEST_F(ViewModelState, SelectingAFolderFlattensItAndRemembersItsPath) {
    MediaLibraryViewModel vm;
    const MediaItem sub =
        MediaItem::folder("/m/A/Sub #1", {MediaItem::audioFile("/m/A/Sub #1/a.mp3")});
    const MediaItem folder = MediaItem::folder("/m/A", {sub, MediaItem::audioFile("/m/A/b.mp3")});
    QSignalSpy flattenedSpy(&vm, &MediaLibraryViewModel::flattenedFilesChanged);
    QSignalSpy idSpy(&vm, &MediaLibraryViewModel::selectedFolderIDChanged);

    vm.setSelectedFolder(folder);
    EXPECT_EQ(vm.selectedFolderID(), folder.id());
    ASSERT_EQ(vm.flattenedFiles().size(), 2);
    EXPECT_EQ(vm.flattenedFiles()[0].name(), "a.mp3");
    EXPECT_EQ(QSettings().value("LastSelectedFolderPath").toString(), "/m/A");

    vm.setSelectedFolder(sub);
    EXPECT_EQ(QSettings().value("LastSelectedFolderPath").toString(), "/m/A/Sub #1");

    vm.setSelectedFolder(std::nullopt);
    EXPECT_FALSE(vm.selectedFolderID().has_value());
    EXPECT_TRUE(vm.flattenedFiles().isEmpty());
    EXPECT_EQ(QSettings().value("LastSelectedFolderPath").toString(), "/m/A/Sub #1");
    EXPECT_EQ(flattenedSpy.count(), 3);
    EXPECT_EQ(idSpy.count(), 3);
}

TEST_F(ViewModelState, AssignmentsNotifyEvenWhenUnchanged) {
    MediaLibraryViewModel vm;
    QSignalSpy loading(&vm, &MediaLibraryViewModel::isLoadingChanged);
    QSignalSpy title(&vm, &MediaLibraryViewModel::currentTitleChanged);
    QSignalSpy time(vm.progress(), &PlayerProgress::currentTimeChanged);
    vm.setIsLoading(false);
    vm.setIsLoading(false);
    vm.setCurrentTitle(QString("x"));
    vm.setCurrentTitle(QString("x"));
    vm.progress()->setCurrentTime(0);
    EXPECT_EQ(loading.count(), 2);
    EXPECT_EQ(title.count(), 2);
    EXPECT_EQ(time.count(), 1);
}

TEST_F(ViewModelState, OledCareModeIsStored) {
    MediaLibraryViewModel vm;
    vm.setIsOLEDCareMode(true);
    EXPECT_TRUE(QSettings().value("isOLEDCareMode").toBool());
    vm.setIsOLEDCareMode(false);
    EXPECT_FALSE(QSettings().value("isOLEDCareMode").toBool());
}

TEST_F(ViewModelState, ArtworkChangesArePrinted) {
    MediaLibraryViewModel vm;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QStringList lines = capturedLines([&] {
        vm.setCurrentArtwork(image);
        vm.setCurrentArtwork(QImage());
    });
    EXPECT_EQ(lines,
              QStringList({"currentArtwork changed: Image set", "currentArtwork changed: nil"}));
}

TEST_F(ViewModelState, VolumeWithoutAPlayerWarns) {
    MediaLibraryViewModel vm;
    QSignalSpy spy(&vm, &MediaLibraryViewModel::volumeChanged);
    const QStringList lines = capturedLines([&] { vm.setVolume(0.5f); });
    EXPECT_EQ(lines, QStringList(
                         {"Volume changed to: 0.5", "WARNING: Player is nil when setting volume"}));
    EXPECT_EQ(vm.volume(), 0.5f);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(ViewModelState, FindItemNeedsARoot) {
    MediaLibraryViewModel vm;
    const MediaItem file = MediaItem::audioFile("/m/x.mp3");
    EXPECT_FALSE(vm.findItem(file.id()).has_value());
    vm.setRootFolder(MediaItem::folder("/m", {file}));
    EXPECT_EQ(vm.findItem(file.id()), file);
}

} // namespace

namespace {

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
    const auto names = [&vm] {
        QStringList list;
        for (const MediaItem& file : vm.flattenedFiles())
            list << file.name();
        return list;
    };

    const auto backgroundListArrives = [] {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    };
    vm.setRootFolder(tree(3));
    backgroundListArrives();
    vm.setSelectedFolder(*vm.rootFolder());
    EXPECT_EQ(names().size(), 3);
    vm.setRootFolder(tree(5)); // no turn of the event loop: the list of 3 is stale
    vm.setSelectedFolder(*vm.rootFolder());
    EXPECT_EQ(names().size(), 5);
    backgroundListArrives();
    vm.setSelectedFolder(vm.rootFolder()->children->first());
    vm.setSelectedFolder(*vm.rootFolder());
    EXPECT_EQ(names(), QStringList({"0.mp3", "1.mp3", "2.mp3", "3.mp3", "4.mp3"}));
}

} // namespace
