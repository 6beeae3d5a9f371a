#include "cache/atomicfilewriter.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <mutex>

using namespace testsupport;

namespace {

// A write replaced by a newer one to the same path still hears the outcome:
// its owner may be waiting for it (the now-playing artwork's pending mark).
TEST(AtomicFileWriterTest, EveryCompletionOfMergedWritesRuns) {
    QTemporaryDir dir;
    const QString target = dir.filePath("target.json");
    AtomicFileWriter writer;
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    writer.write(dir.filePath("blocker"), [gate](QString*) {
        gate.wait(); // holds the writer so the next two writes meet in the queue
        return QByteArray("x");
    });
    std::mutex mutex;
    QStringList outcomes;
    for (const char* bytes : {"first", "second"}) {
        writer.write(target, QByteArray(bytes), [&, bytes](const QString& error) {
            std::lock_guard lock(mutex);
            outcomes << QString(bytes) + ':' + error;
        });
    }
    release.set_value();
    writer.waitForIdle();
    EXPECT_EQ(outcomes, QStringList({"first:", "second:"}));
    EXPECT_EQ(readFile(target), "second");
}

} // namespace
