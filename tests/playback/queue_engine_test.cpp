// Queue edits on the engine: after each one the player's second item is the
// play-list entry after the current one, so playback continues with it.
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

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

    // What the player must hold: the current entry, then the next one if any.
    QStringList expectedItems() const {
        const QList<MediaItem>& list = vm->playList();
        const int index = vm->currentQueueIndex();
        QStringList wanted = {vm->selectedFile()->name().section('.', 0, 0)};
        if (index + 1 < list.size())
            wanted.append(names({list[index + 1]}));
        return wanted;
    }
    void edit(const char* what, const std::function<void()>& operation) {
        capturedLines([&] {
            operation();
            settle();
        });
        ASSERT_TRUE(vm->player()) << what;
        EXPECT_EQ(names(vm->player()->items()), expectedItems()) << what;
        const auto stored = storedQueue();
        ASSERT_TRUE(stored) << what;
        EXPECT_EQ(names(stored->queue), names(vm->playbackQueue())) << what;
        EXPECT_EQ(stored->index, vm->currentQueueIndex()) << what;
    }
};

TEST_F(EngineQueue, SecondItemFollowsEveryEdit) {
    edit("playFolder", [&] { vm->playFolder(library->folder("F")); });
    EXPECT_EQ(names(vm->player()->items()), QStringList({"f1", "f2"}));
    edit("playNext", [&] { vm->playNext(library->folder("X")); });
    EXPECT_EQ(names(vm->player()->items()), QStringList({"f1", "x1"}));
    edit("addToQueue", [&] { vm->addToQueue(library->file("h1")); });
    edit("moveFolderGroups", [&] { vm->moveFolderGroups({1}, 0); });
    EXPECT_EQ(names(vm->player()->items()), QStringList({"f1", "f2"}));
    // Before the X group, which comes after the leading entries of the current folder.
    edit("insertItems", [&] { vm->insertItems({library->file("g3").id()}, 0); });
    EXPECT_EQ(names(vm->playbackQueue()), QStringList({"f1", "f2", "f3", "g3", "x1", "x2", "h1"}));
    EXPECT_EQ(names(vm->player()->items()), QStringList({"f1", "f2"}));
    edit("nextTrack", [&] { vm->nextTrack(); });
    edit("playNow", [&] { vm->playNow(library->folder("G")); });
    edit("previousTrack", [&] { vm->previousTrack(); });
    edit("playItem", [&] { vm->playItem(library->file("h2"), 0, true); });
    edit("playNext duplicate", [&] { vm->playNext(library->file("h2")); });
    EXPECT_EQ(names(vm->player()->items()), QStringList({"h2", "h2"}));
    edit("clearQueue", [&] { vm->clearQueue(); });
    EXPECT_EQ(names(vm->player()->items()), QStringList{"h2"});
    EXPECT_EQ(names(vm->playbackQueue()), QStringList{"h2"});
    edit("addToQueue after clear", [&] { vm->addToQueue(library->folder("F")); });
    EXPECT_EQ(names(vm->player()->items()), QStringList({"h2", "f1"}));
}

TEST_F(EngineQueue, RandomEditsKeepTheSecondItem) {
    std::mt19937 random(7);
    auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    const QStringList files = {"f1", "f2", "g1", "g2", "h1", "x1"};
    const QStringList folders = {"F", "G", "H", "X"};
    capturedLines([&] { vm->playFolder(library->folder("H")); });
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

} // namespace
