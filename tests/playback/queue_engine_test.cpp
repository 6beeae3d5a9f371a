// The view model on the engine. (The random queue edits run on it in
// queue_invariants_test.)
#include "audio/audiooutput.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QScopeGuard>

using namespace testsupport;
using namespace vmtest;

namespace {

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
