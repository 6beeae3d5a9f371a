#pragma once

#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/persistedqueue.h"
#include "playback/durationloader.h"
#include "support/fakequeueplayer.h"
#include "support/testlibrary.h"

#include <QRegularExpression>
#include <QSettings>
#include <QThreadPool>

namespace vmtest {

using testsupport::writeWav;

// Fresh cache and settings; FakeQueuePlayer unless `useEngine`. What is printed
// is captured (shown on failure); takeLines() hands out the new lines.
class PlaybackFixture : public ::testing::Test {
protected:
    void SetUp() override {
        AtomicFileWriter::shared().waitForIdle();
        QSettings().clear();
        testsupport::capturedLines([] { MediaCacheManager::shared().clearCache(); });
        library = std::make_unique<TestLibrary>(4410);
        fflush(stdout);
        ::testing::internal::CaptureStdout();
    }
    void TearDown() override {
        vm.reset();
        QThreadPool::globalInstance()->waitForDone(); // no scan outlives its test
        AtomicFileWriter::shared().waitForIdle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        takeLines();
        ::testing::internal::GetCapturedStdout();
        if (HasFailure())
            std::fputs(m_transcript.toUtf8().constData(), stdout);
    }

    void makeViewModel(bool useEngine = false) {
        vm = std::make_unique<MediaLibraryViewModel>();
        vm->setRootFolder(library->root());
        takeLines(); // what a start prints
        if (!useEngine)
            useFakePlayers();
    }
    // As the program starts it (restoring the saved folder); records the trees.
    MediaLibraryViewModel& startViewModel() {
        vm.reset();
        installedTrees.clear(), treesWhenLoadingEnded.clear();
        vm = std::make_unique<MediaLibraryViewModel>();
        QObject::connect(vm.get(), &MediaLibraryViewModel::rootFolderChanged, vm.get(),
                         [this] { installedTrees.append(vm->rootFolder()); });
        QObject::connect(vm.get(), &MediaLibraryViewModel::isLoadingChanged, vm.get(), [this] {
            if (!vm->isLoading())
                treesWhenLoadingEnded.append(installedTrees.size());
        });
        useFakePlayers();
        return *vm;
    }
    FakeQueuePlayer* fake() const {
        return qobject_cast<FakeQueuePlayer*>(vm ? vm->player() : nullptr);
    }
    QStringList playerItems() const {
        return vm && vm->player() ? names(vm->player()->items()) : QStringList();
    }
    // Only those matching `pattern`, if given: threads print lines of their own.
    QStringList takeLines(const QString& pattern = {}) {
        fflush(stdout);
        m_transcript += QString::fromStdString(::testing::internal::GetCapturedStdout());
        ::testing::internal::CaptureStdout();
        QStringList lines =
            m_transcript.mid(std::exchange(m_handedOut, m_transcript.size())).split('\n');
        lines.removeAll(QString());
        return pattern.isEmpty() ? lines : lines.filter(QRegularExpression(pattern));
    }
    // Durations arrive later, and their handlers may start more loads.
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            waitForDurationLoads();
            QCoreApplication::processEvents();
        }
    }
    // A hand-over may start more work: a cached tree starts a refresh.
    static void finishScans() {
        for (int round = 0; round < 10; ++round) {
            QThreadPool::globalInstance()->waitForDone();
            QCoreApplication::processEvents();
        }
        AtomicFileWriter::shared().waitForIdle();
    }
    static std::optional<PersistedQueue> storedQueue() {
        AtomicFileWriter::shared().waitForIdle();
        QString error;
        return PersistedQueue::fromJson(
            testsupport::readFile(MediaCacheManager::shared().queueFilePath()), &error);
    }
    void expectQueueStored() const {
        const auto stored = storedQueue();
        ASSERT_TRUE(stored);
        EXPECT_EQ(names(stored->queue), names(vm->playbackQueue()));
        EXPECT_EQ(stored->index, vm->currentQueueIndex());
    }
    // Upper case: a folder; ending in "/": a folder without audio; with a dot:
    // a file that is no audio (made in F); else a track.
    MediaItem item(const QString& name) const {
        if (name.endsWith('/'))
            return MediaItem::folder(library->path(name.chopped(1)));
        if (name.contains('.')) {
            testsupport::writeFile(library->path("F/" + name), "x");
            return MediaItem::audioFile(library->path("F/" + name));
        }
        return name[0].isUpper() ? library->folder(name) : library->file(name);
    }
    // Steps separated by ";": a word, names, and a number last (index, group,
    // destination, tenths of seconds). `queue` sets the stored queue of a past run.
    void run(const QString& script) {
        using Step = std::function<void(const QStringList& names, int last)>;
        const auto items = [this](const QStringList& names) {
            QList<MediaItem> items;
            for (const QString& name : names)
                items << item(name);
            return items;
        };
        const QMap<QString, Step> steps = {
            {"queue",
             [&](auto& names, int last) {
                 vm->setPlaybackQueue(items(names));
                 vm->setCurrentQueueIndex(last);
             }},
            {"select", [&](auto& names, int) { vm->setSelectedFolder(item(names[0])); }},
            {"load", [&](auto& names, int) { vm->loadFile(item(names[0]), false); }},
            {"playFolder", [&](auto& names, int) { vm->playFolder(item(names[0])); }},
            {"playItem", [&](auto& names, int) { vm->playItem(item(names[0]), 0, true); }},
            {"jump", [&](auto& names, int last) { vm->playItem(item(names[0]), last, false); }},
            {"playNext", [&](auto& names, int) { vm->playNext(item(names[0])); }},
            {"playNow", [&](auto& names, int) { vm->playNow(item(names[0])); }},
            {"addToQueue", [&](auto& names, int) { vm->addToQueue(item(names[0])); }},
            {"clear", [&](auto&, int) { vm->clearQueue(); }},
            {"next", [&](auto&, int) { vm->nextTrack(); }},
            {"previous", [&](auto&, int) { vm->previousTrack(); }},
            {"index", [&](auto&, int last) { vm->setCurrentQueueIndex(last); }},
            {"refresh", [&](auto&, int) { vm->refreshNextPlayerItem(); }},
            {"insert",
             [&](auto& names, int last) {
                 QStringList ids;
                 for (const MediaItem& item : items(names))
                     ids << item.id();
                 vm->insertItems(ids, last);
             }},
            {"move",
             [&](auto& names, int last) {
                 QList<int> offsets;
                 for (const QString& offset : names)
                     offsets << offset.toInt();
                 vm->moveFolderGroups(offsets, last);
             }},
            {"start", [&](auto&, int) { fake()->play(); }},
            {"time", [&](auto&, int last) { fake()->reachTime(last / 10.0); }},
            {"end", [&](auto&, int) { fake()->advance(); }},
            {"fail", [&](auto&, int) { fake()->currentItem()->setFailed("broken"); }},
            {"refuse", [&](auto&, int) { fake()->acceptsItems = false; }},
            {"enqueue",
             [&](auto& names, int) {
                 fake()->remove(fake()->items().value(1));
                 fake()->insert(vm->makePlayerItem(item(names[0]).url()));
             }},
        };
        for (const QString& text : script.split(';', Qt::SkipEmptyParts)) {
            QStringList words = text.split(' ', Qt::SkipEmptyParts);
            const Step step = steps.value(words.takeFirst());
            ASSERT_TRUE(step) << "no step " << text.toStdString();
            const int last = words.isEmpty() ? 0 : words.last().toInt();
            step(words.size() > 1 ? words.mid(0, words.size() - 1) : words, last);
        }
    }

    std::unique_ptr<TestLibrary> library;
    std::unique_ptr<MediaLibraryViewModel> vm;
    std::shared_ptr<FakePlayerLog> lastLog;
    int playersMade = 0;
    QList<std::optional<MediaItem>> installedTrees; // since startViewModel
    QList<int> treesWhenLoadingEnded; // installedTrees.size() when isLoading went false

private:
    void useFakePlayers() {
        vm->setPlayerFactory([this](const QList<PlayerItem*>& items) {
            auto player = std::make_unique<FakeQueuePlayer>(items);
            lastLog = player->log;
            ++playersMade;
            return player;
        });
    }

    QString m_transcript;
    qsizetype m_handedOut = 0;
};

} // namespace vmtest
