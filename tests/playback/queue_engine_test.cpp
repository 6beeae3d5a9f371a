// Random queue edits on the engine: after each one the player's second item is
// the play-list entry after the current one, so playback continues with it.
#include "audio/audiooutput.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QScopeGuard>
#include <random>

using namespace testsupport;
using namespace vmtest;

namespace {

constexpr int rate = 8000;

class EngineQueue : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        library = std::make_unique<TestLibrary>(20 * rate, rate); // long enough never to end here
        makeViewModel(true);
    }

    void edit(const char* what, const std::function<void()>& operation) {
        operation();
        settle();
        ASSERT_TRUE(vm->player()) << what;
        // The current entry, then the next one if any.
        const QList<MediaItem>& list = vm->playList();
        const int index = vm->currentQueueIndex();
        QStringList wanted = names({*vm->selectedFile()});
        if (index + 1 < list.size())
            wanted.append(names({list[index + 1]}));
        EXPECT_EQ(playerItems(), wanted) << what;
        expectQueueStored();
    }
};

TEST_F(EngineQueue, RandomEditsKeepTheSecondItem) {
    std::mt19937 random(7);
    auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    const QStringList files = {"f1", "f2", "g1", "g2", "h1", "x1"};
    const QStringList folders = {"F", "G", "H", "X"};
    vm->playFolder(library->folder("H"));
    for (int i = 0; i < 150 && !HasFailure(); ++i) {
        const int groups = static_cast<int>(vm->upcomingFolderGroups().size());
        const MediaItem file = library->file(files[pick(files.size())]);
        const MediaItem folder = library->folder(folders[pick(folders.size())]);
        switch (pick(7)) {
        case 0:
            edit("playNext", [&] { vm->playNext(pick(2) ? file : folder); });
            break;
        case 1:
            edit("addToQueue", [&] { vm->addToQueue(pick(2) ? file : folder); });
            break;
        case 2:
            edit("move", [&] { vm->moveFolderGroups({pick(groups + 1)}, pick(groups + 1)); });
            break;
        case 3:
            edit("insert", [&] { vm->insertItems({file.id()}, pick(groups + 1)); });
            break;
        case 4:
            edit("next or previous", [&] { pick(2) ? vm->nextTrack() : vm->previousTrack(); });
            break;
        case 5:
            edit("playItem", [&] { vm->playItem(file, 0, true); });
            break;
        default:
            if (pick(5) == 0)
                edit("clear", [&] { vm->clearQueue(); });
        }
    }
}

// As fast as frames come, each track ends before the view model has queued
// the one after it: the queue still plays through, every frame of it.
TEST_F(EngineQueue, AQueueOfVeryShortTracksPlaysThroughAtTheFastPace) {
    AudioOutput::shared().configure("null", true, rate);
    const auto restore = qScopeGuard([] { AudioOutput::shared().configureFromEnvironment(); });
    constexpr int frames = rate / 50;
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
    EXPECT_EQ(takeLines().filter("Gapless transition to: ").size(), queue.size() - 1);
    EXPECT_EQ(AudioOutput::shared().framesPlayed() - before, queue.size() * frames);
}

} // namespace
