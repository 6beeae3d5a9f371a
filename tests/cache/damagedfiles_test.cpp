#include "cache/mediacachemanager.h"
#include "cache/metadatacachemanager.h"
#include "library/librarystructurecache.h"
#include "playback/waveformcache.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

enum class Reader { Queue, Metadata, LibraryTree, Waveform };

struct Damaged {
    const char* name;
    Reader reader;
    QByteArray bytes;
};

// Reads the cache file the way its owner does at start-up; the printed lines go to `lines`.
bool loads(Reader reader, const QString& dir, const QString& path, QStringList* lines) {
    bool loaded = false;
    *lines = capturedLines([&] {
        if (reader == Reader::Queue)
            loaded = MediaCacheManager(dir).loadQueue().has_value();
        else if (reader == Reader::Metadata)
            loaded = !MetadataCacheManager(path).cache().isEmpty();
        else if (reader == Reader::LibraryTree)
            loaded = LibraryStructureCache::load(path).has_value();
        else
            loaded = readCachedWaveform(path).has_value();
    });
    return loaded;
}

class DamagedCacheFile : public ::testing::TestWithParam<Damaged> {};

// A damaged file counts as no cache, says why where its owner prints, and is
// left as it was (the next save replaces it).
TEST_P(DamagedCacheFile, IsRefusedAndLeftAlone) {
    QTemporaryDir dir;
    const QString path =
        dir.filePath(GetParam().reader == Reader::Queue ? "global_queue.json" : "cache.json");
    writeFile(path, GetParam().bytes);
    QStringList lines;
    EXPECT_FALSE(loads(GetParam().reader, dir.path(), path, &lines));
    EXPECT_EQ(readFile(path), GetParam().bytes);
    const QString said = lines.join('\n');
    if (GetParam().reader == Reader::Queue)
        EXPECT_TRUE(said.startsWith("[Cache] Failed to decode queue JSON: ") && said.size() > 38 &&
                    lines.size() == 1)
            << said.toStdString();
    if (GetParam().reader == Reader::Metadata)
        EXPECT_TRUE(
            said.startsWith("MetadataCacheManager: Failed to load cache (might be new): ") &&
            lines.size() == 1)
            << said.toStdString();
}

const QByteArray queue =
    R"({"queue":[{"url":"file:///a","isDirectory":false,"containsAudio":true}],"index":0})";
const QByteArray tree = R"({"url":"file:///m","isDirectory":true,"containsAudio":true})";

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedCacheFile,
    ::testing::Values(
        Damaged{"queue_truncated", Reader::Queue, queue.left(queue.size() / 2)},
        Damaged{"queue_binary", Reader::Queue, QByteArray("\x00\xff\xfe garbage", 12)},
        Damaged{"queue_array", Reader::Queue, "[]"},
        Damaged{"queue_no_index", Reader::Queue, R"({"queue":[]})"},
        Damaged{"queue_no_queue", Reader::Queue, R"({"index":0})"},
        Damaged{"queue_text_index", Reader::Queue, R"({"queue":[],"index":"0"})"},
        Damaged{"queue_fraction_index", Reader::Queue, R"({"queue":[],"index":1.5})"},
        Damaged{"queue_huge_index", Reader::Queue, R"({"queue":[],"index":3e9})"},
        Damaged{"queue_entry_without_containsAudio", Reader::Queue,
                QByteArray(queue).replace(R"(,"containsAudio":true)", "")},
        Damaged{"metadata_truncated", Reader::Metadata, R"({"file:///m/a.flac": {"title": )"},
        Damaged{"metadata_array", Reader::Metadata, "[]"},
        Damaged{"metadata_entry_not_object", Reader::Metadata,
                R"({"file:///m/a.flac":{"title":"A"},"file:///m/b.flac":[1]})"},
        Damaged{"metadata_year_not_text", Reader::Metadata,
                R"({"file:///m/a.flac":{"title":"A"},"file:///m/b.flac":{"year":1999}})"},
        Damaged{"tree_empty", Reader::LibraryTree, ""},
        Damaged{"tree_without_containsAudio", Reader::LibraryTree,
                QByteArray(tree).replace(R"(,"containsAudio":true)", "")},
        Damaged{"tree_root_is_a_file", Reader::LibraryTree,
                R"({"url":"file:///x.mp3","isDirectory":false,"containsAudio":true})"},
        Damaged{"waveform_object", Reader::Waveform, R"({"a":1})"},
        Damaged{"waveform_text_value", Reader::Waveform,
                "[" + QByteArray("0.5,").repeated(1100) + "\"x\"]"},
        Damaged{"waveform_too_short", Reader::Waveform,
                "[" + QByteArray("0.5,").repeated(999) + "0.5]"}),
    [](const auto& info) { return std::string(info.param.name); });

// The rows above damage these, which load.
TEST(DamagedCacheFileRows, StartFromFilesThatLoad) {
    QTemporaryDir dir;
    QStringList lines;
    writeFile(dir.filePath("global_queue.json"), queue);
    EXPECT_TRUE(loads(Reader::Queue, dir.path(), dir.filePath("global_queue.json"), &lines));
    writeFile(dir.filePath("cache.json"), tree);
    EXPECT_TRUE(loads(Reader::LibraryTree, dir.path(), dir.filePath("cache.json"), &lines));
}

} // namespace
