// Thousands of random queue operations and track ends; after each one the
// queue must stay consistent with the player and with the stored file.
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <random>

using namespace testsupport;
using namespace vmtest;

namespace {

class QueueInvariants : public PlaybackFixture {
protected:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    MediaItem anyFile() {
        static const QStringList all = {"f1", "f2", "f3", "g1", "g2", "g3", "h1", "h2", "x1", "x2"};
        return library->file(all[pick(all.size())]);
    }
    MediaItem anyFolder() {
        static const QStringList all = {"F", "G", "H", "X"};
        return library->folder(all[pick(all.size())]);
    }
    MediaItem anyItem() { return pick(3) == 0 ? anyFolder() : anyFile(); }

    // Returns a description of the step, for the failure message.
    QString step() {
        const int groups = static_cast<int>(vm->upcomingFolderGroups().size());
        switch (pick(14)) {
        case 0:
            vm->playItem(anyFile(), 0, true);
            return "playItem";
        case 1: {
            const QList<MediaItem>& list = vm->playList();
            if (list.isEmpty())
                return "skip";
            const int index = pick(list.size());
            vm->playItem(list[index], index, false);
            return QString("jump to %1").arg(index);
        }
        case 2:
            vm->playFolder(anyFolder());
            return "playFolder";
        case 3:
            vm->playNext(anyItem());
            return "playNext";
        case 4:
            vm->playNow(anyItem());
            return "playNow";
        case 5:
            vm->addToQueue(anyItem());
            return "addToQueue";
        case 6:
            if (pick(4) == 0)
                vm->clearQueue();
            return "clearQueue";
        case 7:
            vm->nextTrack();
            return "nextTrack";
        case 8:
            if (fake())
                fake()->reachTime(pick(2) ? 2.5 : 0.5);
            vm->previousTrack();
            return "previousTrack";
        case 9:
            vm->moveFolderGroups({pick(groups + 1), pick(groups + 1)}, pick(groups + 2));
            return "moveFolderGroups";
        case 10: {
            QStringList ids = {anyItem().id()};
            if (pick(3) == 0)
                ids.append("file:///deleted/track.mp3");
            vm->insertItems(ids, pick(groups + 2) - 1);
            return "insertItems";
        }
        case 11:
        case 12:
            if (fake())
                fake()->advance(); // the current track ends
            return "track ended";
        default:
            vm->setSelectedFolder(anyFolder());
            return "select folder";
        }
    }

    void checkInvariants(const QString& what) {
        const QList<MediaItem>& queue = vm->playbackQueue();
        const int index = vm->currentQueueIndex();
        if (!queue.isEmpty())
            ASSERT_TRUE(index >= 0 && index < queue.size()) << what.toStdString() << " " << index;

        if (FakeQueuePlayer* player = fake(); player && vm->selectedFile()) {
            const QList<MediaItem>& list = vm->playList();
            const QList<PlayerItem*> items = player->items();
            const QString wanted =
                index + 1 < list.size() ? list[index + 1].url().toString() : QString();
            const QString second = items.size() >= 2 ? items[1]->url().toString() : QString();
            // Once the last item has ended the player is empty and waits for the next load.
            if (!items.isEmpty()) {
                ASSERT_EQ(second, wanted) << what.toStdString();
                ASSERT_EQ(items[0]->url(), vm->selectedFile()->url()) << what.toStdString();
            }
            ASSERT_LE(items.size(), 2) << what.toStdString();
        }
    }

    // Waits for the writer, which is slow (each file is synced), so it is checked now and then.
    void checkStoredQueue(const QString& what) {
        const auto stored = storedQueue();
        ASSERT_TRUE(stored) << what.toStdString();
        ASSERT_EQ(names(stored->queue), names(vm->playbackQueue())) << what.toStdString();
        ASSERT_EQ(stored->index, vm->currentQueueIndex()) << what.toStdString();
    }

    std::mt19937 random{20240611};
};

TEST_F(QueueInvariants, HoldAfterEveryRandomOperation) {
    makeViewModel();
    vm->setCurrentQueueIndex(0); // the stored file exists from here on
    QStringList history;
    for (int i = 0; i < 3000 && !HasFatalFailure(); ++i) {
        history.append(step());
        settle();
        const QString recent = history.mid(std::max<qsizetype>(0, history.size() - 8)).join(", ");
        checkInvariants(recent);
        if (i % 40 == 0)
            checkStoredQueue(recent);
    }
    checkStoredQueue("the end");
    EXPECT_GT(history.count("track ended"), 100);
}

} // namespace
