#include "cache/atomicfilewriter.h"
#include "support/testsupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <mutex>

using namespace testsupport;

namespace {

// The writer held in an encoder: four writes of one path encode once, all told in order;
// files are renamed into place, never rewritten; a failed encoding leaves its file alone.
TEST(AtomicFileWriterTest, ABlockedWriterCoalescesAndReplacesFilesWhole) {
    QTemporaryDir dir;
    const QString target = dir.filePath("target.json"), kept = dir.filePath("kept.json");
    writeFile(target, "old");
    writeFile(kept, "kept");
    QFile reader(target);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));

    AtomicFileWriter writer;
    std::promise<void> entered, release;
    writer.write(dir.filePath("blocker"), [&, gate = release.get_future().share()](QString*) {
        entered.set_value();
        gate.wait();
        return QByteArray("b");
    });
    entered.get_future().wait();

    std::mutex mutex;
    QStringList outcomes;
    const auto told = [&](const QString& name) {
        return [&, name](const QString& error) {
            std::lock_guard lock(mutex);
            outcomes << name + ':' + error;
        };
    };
    std::atomic<int> encodes = 0;
    for (const QByteArray bytes : {"v1", "v2", "v3", "v4"})
        writer.write(
            target, [&, bytes](QString*) { return ++encodes, bytes; }, told(bytes));
    const auto failing = [](QString* error) { return *error = "no bytes", QByteArray("partial"); };
    writer.write(kept, failing, told("kept"));
    release.set_value();
    writer.waitForIdle();

    EXPECT_EQ(encodes, 1) << "pending writes of one path were not merged";
    EXPECT_EQ(outcomes, QStringList({"v1:", "v2:", "v3:", "v4:", "kept:no bytes"}));
    EXPECT_EQ(readFile(target), "v4");
    EXPECT_EQ(reader.readAll(), "old") << "the file was rewritten in place";
    EXPECT_EQ(readFile(kept), "kept");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"blocker", "kept.json", "target.json"}))
        << "a temporary file was left";
}

} // namespace
