#include "cache/atomicfilewriter.h"
#include "library/libraryscanner.h"
#include "library/librarystructurecache.h"
#include "library/mediaitemjson.h"
#include "library/mediaitemtree.h"
#include "support/testlibrary.h"

#include <QSet>

using namespace vmtest;

// /music: A/ (Deep/x.flac, a.mp3), Images/ (no audio), b.mp3
static MediaItem sampleTree() {
    MediaItem deep =
        MediaItem::folder("/music/A/Deep", {MediaItem::audioFile("/music/A/Deep/x.flac")});
    MediaItem a = MediaItem::folder("/music/A", {deep, MediaItem::audioFile("/music/A/a.mp3")});
    return MediaItem::folder("/music", {a, MediaItem::folder("/music/Images", {}),
                                        MediaItem::audioFile("/music/b.mp3")});
}

TEST(MediaItem, IdIsTheFullyEncodedUrlAndAloneDecidesEquality) {
    // Names that break naive URL handling: spaces, '#', '%', '?', non-ASCII.
    const MediaItem item = MediaItem::audioFile("/music/Sigur R\u00f3s #1 100% ?/Tr\u00e4ck 1.mp3");
    EXPECT_EQ(item.id(), "file:///music/Sigur%20R%C3%B3s%20%231%20100%25%20%3F/Tr%C3%A4ck%201.mp3");
    EXPECT_EQ(item.name(), "Tr\u00e4ck 1.mp3");
    MediaItem one = MediaItem::folder("/music/A", {MediaItem::audioFile("/music/A/a.mp3")});
    MediaItem two = MediaItem::folder("/music/A", {});
    two.artworkURL = QUrl::fromLocalFile("/music/A/folder.jpg");
    EXPECT_EQ(QSet<MediaItem>({one, two}).size(), 1);
    EXPECT_FALSE(one == MediaItem(QUrl("file:///music/A/"), true));
}

TEST(MediaItem, FlatteningGoesDepthFirstAndLookupsGoByIdPathAndParent) {
    const QList<MediaItem> roots = {sampleTree()};
    EXPECT_EQ(names(flattenAudioFiles(roots[0])), (QStringList{"x", "a", "b"}));
    EXPECT_EQ(findItem(roots, "file:///music/A/a.mp3")->name(), "a.mp3");
    EXPECT_FALSE(findItem(roots, "file:///music/A/").has_value()) << "a trailing '/' is another id";
    EXPECT_EQ(findItemByPath(roots, QStringLiteral("/music/A/"))->name(), "A");
    EXPECT_FALSE(findItemByPath(roots, QStringLiteral("/music/Z")).has_value());
    MediaItem slashed(QUrl("file:///music/S/"), true);
    slashed.children = QList<MediaItem>();
    EXPECT_EQ(findItemByPath({slashed}, QStringLiteral("/music/S"))->id(), "file:///music/S/");
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile("/music/A/Deep/x.flac"))->name(), "Deep");
    EXPECT_FALSE(findParentFolder(roots, QUrl::fromLocalFile("/music")).has_value());
}

TEST(LibraryStructureCache, AStoredTreeLoadsBackEqualWithOddNames) {
    TestLibrary library;
    for (const char* name : {"A/01 #?%.mp3", "A/cover.jpg", "Sigur R\u00f3s 100% ?/\u65e5.flac"})
        library.add(name);
    const MediaItem tree = scanDirectory(library.rootUrl());
    const QString path = LibraryStructureCache::filePath(library.rootUrl());

    LibraryStructureCache::store(path, tree);
    AtomicFileWriter::shared().waitForIdle();

    const QByteArray json = testsupport::readFile(path);
    EXPECT_EQ(json, encodeMediaItem(tree));
    EXPECT_FALSE(json.contains(' ') || json.contains('\n') || json.contains("null"));
    const std::optional<MediaItem> back = LibraryStructureCache::load(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(encodeMediaItem(*back), json);
    // Unknown keys are passed over.
    EXPECT_TRUE(decodeMediaItem(R"({"url":"file:///a.mp3","isDirectory":false,)"
                                R"("containsAudio":true,"rating":5,"x":{}})"));
}

// Refused whole by the decoder and the cache, which leaves the file alone.
TEST(LibraryStructureCache, DamagedFilesCountAsNoCache) {
    const QByteArray good = encodeMediaItem(sampleTree());
    const QByteArray rows[] = {
        R"({"url":"file:///a","isDirectory":false})",
        R"({"isDirectory":false,"containsAudio":true})",
        R"({"url":"file:///a","isDirectory":"no","containsAudio":true})",
        R"({"url":"file:///a","isDirectory":true,"containsAudio":true,"children":[{"url":"file:///a/b"}]})",
        R"({"url":"file:///a","isDirectory":true,"containsAudio":true,"children":{}})",
        good.left(good.size() / 2),
        QByteArray("garbage\xff\x00", 9),
        "[]",
        "",
    };
    TestLibrary library;
    for (const QByteArray& bytes : rows) {
        QString error;
        EXPECT_FALSE(decodeMediaItem(bytes, &error).has_value()) << bytes.toStdString();
        EXPECT_FALSE(error.isEmpty()) << bytes.toStdString();
        library.add("cache.json", bytes);
        EXPECT_FALSE(LibraryStructureCache::load(library.path("cache.json")).has_value());
        EXPECT_EQ(testsupport::readFile(library.path("cache.json")), bytes) << "left alone";
    }
    library.add("cache.json", encodeMediaItem(MediaItem::audioFile("/x.mp3")));
    EXPECT_FALSE(LibraryStructureCache::load(library.path("cache.json"))) << "a file at the root";
}
