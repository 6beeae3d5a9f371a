#pragma once

#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "cache/persistedqueue.h"
#include "playback/durationloader.h"
#include "support/fakequeueplayer.h"
#include "support/mediafixtures.h"
#include "support/testlibrary.h"

#include <QRegularExpression>
#include <QSettings>
#include <QThreadPool>
#include <memory>
#include <optional>

namespace vmtest {

using testsupport::writeWav;

inline QStringList names(const QList<PlayerItem*>& items) {
    QStringList result;
    for (const PlayerItem* item : items)
        result.append(item->url().fileName().section('.', 0, 0));
    return result;
}

// A view model on a fresh cache and settings, playing through FakeQueuePlayer
// (or through the engine when `useEngine` is set), or with no folder open
// (startViewModel). Everything printed during the test is captured (and shown
// when the test fails); takeLines() hands out the lines printed since its
// last call.
class PlaybackFixture : public ::testing::Test {
protected:
    void SetUp() override {
        AtomicFileWriter::shared().waitForIdle();
        QSettings().clear();
        // Empties the cache tree, the stored queue included.
        testsupport::capturedLines([] { MediaCacheManager::shared().clearCache(); });
        library = std::make_unique<TestLibrary>(4410);
        fflush(stdout);
        ::testing::internal::CaptureStdout();
    }
    void TearDown() override {
        vm.reset();
        QThreadPool::globalInstance()->waitForDone(); // no scan outlives its test
        AtomicFileWriter::shared().waitForIdle();
        // Deferred deletions of players and items.
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
    // A view model as the program starts it (restoring the folder the
    // settings name), recording the trees it installs; fake players.
    MediaLibraryViewModel& startViewModel() {
        vm.reset();
        installedTrees.clear();
        treesWhenLoadingEnded.clear();
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
    // The names of the player's items.
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
    // Lets queued handlers run: durations come back in a later turn of the
    // event loop, whose handlers may load the next file and so start another.
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            waitForDurationLoads();
            QCoreApplication::processEvents();
        }
    }
    // Runs background scans and their hand-overs to the end (a hand-over may
    // start more work: a cached tree starts a refresh).
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
    // The stored queue and index are the view model's.
    void expectQueueStored() const {
        const auto stored = storedQueue();
        ASSERT_TRUE(stored);
        EXPECT_EQ(names(stored->queue), names(vm->playbackQueue()));
        EXPECT_EQ(stored->index, vm->currentQueueIndex());
    }
    // An item of the test library: a name in upper case is a folder, one
    // ending in "/" a folder without audio, one with a dot a file that is no
    // audio (made in F), any other a track.
    MediaItem item(const QString& name) const {
        if (name.endsWith('/'))
            return MediaItem::folder(library->path(name.chopped(1)));
        if (name.contains('.')) {
            testsupport::writeFile(library->path("F/" + name), "x");
            return MediaItem::audioFile(library->path("F/" + name));
        }
        return name[0].isUpper() ? library->folder(name) : library->file(name);
    }
    // Runs view-model steps separated by ";", each a word and its arguments:
    //   queue NAMES... INDEX (the stored queue of an earlier run), select FOLDER,
    //   load NAME, playFolder|playItem|playNext|playNow|addToQueue NAME,
    //   jump NAME INDEX, clear, next, previous, index N, refresh,
    //   insert NAMES... GROUP, move OFFSETS... DESTINATION,
    //   and on the fake player: start, time TENTHS_OF_SECONDS, end, fail,
    //   refuse (further items), enqueue NAME (in place of its second item).
    void run(const QString& script) {
        using Step = std::function<void(const QStringList& names, int last)>;
        auto ids = [this](const QStringList& names) {
            QStringList ids;
            for (const QString& name : names)
                ids << item(name).id();
            return ids;
        };
        const QMap<QString, Step> steps = {
            {"queue",
             [&](auto& names, int last) {
                 QList<MediaItem> files;
                 for (const QString& name : names)
                     files << library->file(name);
                 vm->setPlaybackQueue(files);
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
            {"insert", [&](auto& names, int last) { vm->insertItems(ids(names), last); }},
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
                 if (fake()->items().size() > 1)
                     fake()->remove(fake()->items()[1]);
                 fake()->insert(vm->makePlayerItem(item(names[0]).url()));
             }},
        };
        for (const QString& text : script.split(';', Qt::SkipEmptyParts)) {
            QStringList words = text.split(' ', Qt::SkipEmptyParts);
            const Step step = steps.value(words.takeFirst());
            if (!step) {
                ADD_FAILURE() << "no step " << text.toStdString();
                continue;
            }
            // The last word is also the number of the steps that take one.
            const int last = words.isEmpty() ? 0 : words.last().toInt();
            step(words.size() > 1 ? words.mid(0, words.size() - 1) : words, last);
        }
    }

    std::unique_ptr<TestLibrary> library;
    std::unique_ptr<MediaLibraryViewModel> vm;
    std::shared_ptr<FakePlayerLog> lastLog;
    int playersMade = 0;
    // Every value rootFolder took since startViewModel, in order.
    QList<std::optional<MediaItem>> installedTrees;
    // How many trees had been installed each time isLoading went false.
    QList<int> treesWhenLoadingEnded;

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
