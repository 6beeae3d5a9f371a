// Random queue operations and track ends on the fake player and the engine:
// after each the player's first item is the selected file, its second the
// play-list entry after the current one, and the stored file holds the queue.
#include "audio/audiooutput.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QScopeGuard>
#include <random>

using namespace testsupport;
using namespace vmtest;

namespace {

// On the engine 20 s tracks at 8 kHz, which never end here.
class QueueInvariants : public PlaybackFixture, public ::testing::WithParamInterface<bool> {
protected:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    MediaItem any(const char* names) {
        const QStringList all = QString(names).split(' ');
        return item(all[pick(all.size())]);
    }
    MediaItem anyFolder() { return any("F G H X"); }
    MediaItem anyItem() {
        return pick(3) == 0 ? anyFolder() : any("f1 f2 f3 g1 g2 g3 h1 h2 x1 x2");
    }

    // Runs a random step; returns its name, for the failure message.
    QString step() {
        const int groups = static_cast<int>(vm->upcomingFolderGroups().size());
        const QList<MediaItem>& list = vm->playList();
        const std::pair<const char*, std::function<void()>> steps[] = {
            {"track ended", [&] { fake() ? fake()->advance() : void(); }},
            {"playItem", [&] { vm->playItem(any("f1 f2 f3 g1 g2 g3 h1 h2 x1 x2"), 0, true); }},
            {"jump",
             [&] {
                 if (const int index = list.isEmpty() ? -1 : pick(list.size()); index >= 0)
                     vm->playItem(list[index], index, false);
             }},
            {"playFolder", [&] { vm->playFolder(anyFolder()); }},
            {"playNext", [&] { vm->playNext(anyItem()); }},
            {"playNow", [&] { vm->playNow(anyItem()); }},
            {"addToQueue", [&] { vm->addToQueue(anyItem()); }},
            {"clearQueue", [&] { pick(4) == 0 ? vm->clearQueue() : void(); }},
            {"nextTrack", [&] { vm->nextTrack(); }},
            {"previousTrack",
             [&] {
                 if (fake())
                     fake()->reachTime(pick(2) ? 2.5 : 0.5);
                 vm->previousTrack();
             }},
            {"moveFolderGroups",
             [&] {
                 vm->moveFolderGroups({pick(groups + 1), pick(groups + 1)}, pick(groups + 2));
             }},
            {"insertItems",
             [&] {
                 QStringList ids = {anyItem().id()};
                 if (pick(3) == 0)
                     ids.append("file:///deleted/track.mp3");
                 vm->insertItems(ids, pick(groups + 2) - 1);
             }},
            {"select folder", [&] { vm->setSelectedFolder(anyFolder()); }},
        };
        // Track ends come twice as often as any other step.
        const auto& [name, run] = steps[pick(std::size(steps) + 1) % std::size(steps)];
        run();
        return name;
    }

    void checkInvariants(const std::string& what) {
        const int index = vm->currentQueueIndex();
        if (!vm->playbackQueue().isEmpty())
            ASSERT_TRUE(index >= 0 && index < vm->playbackQueue().size()) << what << " " << index;
        if (!vm->player() || !vm->selectedFile())
            return;
        const QList<MediaItem>& list = vm->playList();
        const QList<PlayerItem*> items = vm->player()->items();
        ASSERT_LE(items.size(), 2) << what;
        if (items.isEmpty()) // the last item ended: it waits for the next load
            return;
        ASSERT_EQ(items[0]->url(), vm->selectedFile()->url()) << what;
        ASSERT_EQ(items.size() >= 2 ? items[1]->url().toString() : QString(),
                  index + 1 < list.size() ? list[index + 1].url().toString() : "")
            << what;
    }

    // Waits for the writer, which is slow (each file is synced): checked now and then.
    void checkStoredQueue(const std::string& what) {
        const auto stored = storedQueue();
        ASSERT_TRUE(stored && names(stored->queue) == names(vm->playbackQueue()) &&
                    stored->index == vm->currentQueueIndex())
            << what;
    }

    std::mt19937 random{20240611};
};

TEST_P(QueueInvariants, HoldAfterEveryRandomOperation) {
    const bool engine = GetParam();
    if (engine)
        library = std::make_unique<TestLibrary>(20 * 8000, 8000);
    makeViewModel(engine);
    vm->playFolder(library->folder("H")); // the stored file exists from here on
    QStringList history;
    for (int i = 0; i < (engine ? 150 : 3000) && !HasFatalFailure(); ++i) {
        history.append(step());
        settle();
        const std::string recent =
            history.mid(std::max<qsizetype>(0, history.size() - 8)).join(", ").toStdString();
        checkInvariants(recent);
        if (i % 40 == 0)
            checkStoredQueue(recent);
    }
    checkStoredQueue("the end");
    if (!engine)
        EXPECT_GT(history.count("track ended"), 100);
}

INSTANTIATE_TEST_SUITE_P(Players, QueueInvariants, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Engine" : "Fake"; });

class EngineQueue : public PlaybackFixture {};

// As fast as frames come, each track ends before the view model has queued
// the one after it: the queue still plays through, every frame of it.
TEST_F(EngineQueue, AQueueOfVeryShortTracksPlaysThroughAtTheFastPace) {
    constexpr int rate = 8000, frames = rate / 50;
    makeViewModel(true);
    AudioOutput::shared().configure("null", true, rate);
    const auto restore = qScopeGuard([] { AudioOutput::shared().configureFromEnvironment(); });
    QList<MediaItem> queue;
    for (int i = 0; i < 12; ++i) {
        writeWav(library->path(QString("S/%1.wav").arg(i)), frames, rate);
        queue << MediaItem::audioFile(library->path(QString("S/%1.wav").arg(i)));
    }
    vm->setPlaybackQueue(queue);
    const int64_t before = AudioOutput::shared().framesPlayed();
    takeLines();
    vm->playItem(queue[0], 0, false);
    ASSERT_TRUE(waitUntil([&] {
        return vm->currentQueueIndex() == queue.size() - 1 && vm->player()->rate() == 0;
    })) << "stalled at "
        << vm->currentQueueIndex();
    settle();
    EXPECT_EQ(takeLines("^Gapless transition to: ").size(), queue.size() - 1);
    EXPECT_EQ(AudioOutput::shared().framesPlayed() - before, queue.size() * frames);
}

} // namespace
