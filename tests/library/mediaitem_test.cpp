#include "cache/atomicfilewriter.h"
#include "library/libraryscanner.h"
#include "library/librarystructurecache.h"
#include "library/mediaitemjson.h"
#include "library/mediaitemtree.h"
#include "support/testlibrary.h"
#include "support/testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <gtest/gtest.h>

using namespace vmtest;

namespace {

// /music: A/ (Deep/x.flac, a.mp3), Images/ (no audio), b.mp3
MediaItem sampleTree() {
    MediaItem deep =
        MediaItem::folder("/music/A/Deep", {MediaItem::audioFile("/music/A/Deep/x.flac")});
    MediaItem a = MediaItem::folder("/music/A", {deep, MediaItem::audioFile("/music/A/a.mp3")});
    return MediaItem::folder("/music", {a, MediaItem::folder("/music/Images", {}),
                                        MediaItem::audioFile("/music/b.mp3")});
}

} // namespace

TEST(MediaItem, IdIsTheFullyEncodedUrlAndAloneDecidesEquality) {
    // Names that break naive URL handling: spaces, '#', '%', '?', non-ASCII.
    const QString path = QStringLiteral("/music/Sigur R\u00f3s #1 100% ?/Tr\u00e4ck 1.mp3");
    const MediaItem item = MediaItem::audioFile(path);
    EXPECT_EQ(item.id(), "file:///music/Sigur%20R%C3%B3s%20%231%20100%25%20%3F/Tr%C3%A4ck%201.mp3");
    EXPECT_EQ(item.path(), path);
    EXPECT_EQ(item.name(), QStringLiteral("Tr\u00e4ck 1.mp3"));

    MediaItem one = MediaItem::folder("/music/A", {MediaItem::audioFile("/music/A/a.mp3")});
    MediaItem two = MediaItem::folder("/music/A", {});
    two.artworkURL = QUrl::fromLocalFile("/music/A/folder.jpg");
    EXPECT_EQ(one, two);
    EXPECT_EQ(QSet<MediaItem>({one, two}).size(), 1);
    EXPECT_FALSE(one == MediaItem(QUrl("file:///music/A/"), true));
}

TEST(MediaItem, SubfoldersHoldAudioAndFlatteningGoesDepthFirst) {
    const MediaItem root = sampleTree();
    EXPECT_EQ(names(root.subfolders().value_or(QList<MediaItem>())), QStringList{"A"});
    EXPECT_FALSE((*root.children)[1].subfolders().has_value()) << "absent rather than empty";
    EXPECT_FALSE((*root.children)[1].containsAudio);
    EXPECT_TRUE(root.containsAudio && (*root.children)[0].containsAudio);
    EXPECT_EQ(names(flattenAudioFiles(root)), (QStringList{"x", "a", "b"}));
    EXPECT_TRUE(flattenAudioFiles(MediaItem::audioFile("/music/b.mp3")).isEmpty());
    // A child without an audio extension is no audio file, whatever it claims.
    MediaItem stray = MediaItem::fromId("file:///m/cover.JPG", false);
    stray.containsAudio = true;
    const MediaItem mixed = MediaItem::folder("/m", {stray, MediaItem::audioFile("/m/LOUD.FLAC")});
    EXPECT_EQ(names(flattenAudioFiles(mixed)), QStringList{"LOUD"});
}

TEST(MediaItem, LookupsByIdPathAndParent) {
    const QList<MediaItem> roots = {sampleTree()};
    EXPECT_EQ(findItem(roots, "file:///music/A/a.mp3")->name(), "a.mp3");
    EXPECT_EQ(findItem(roots, sampleTree().id())->name(), "music");
    EXPECT_FALSE(findItem(roots, "file:///music/A/").has_value()) << "a trailing '/' is another id";
    EXPECT_EQ(findItemByPath(roots, QStringLiteral("/music/A/"))->name(), "A");
    EXPECT_EQ(findItemByPath(roots, QUrl("file:///music/A/Deep/x.flac"))->name(), "x.flac");
    EXPECT_FALSE(findItemByPath(roots, QStringLiteral("/music/Z")).has_value());
    MediaItem slashed(QUrl("file:///music/S/"), true);
    slashed.children = QList<MediaItem>();
    EXPECT_EQ(findItemByPath({slashed}, QStringLiteral("/music/S"))->id(), "file:///music/S/");
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile("/music/A/Deep/x.flac"))->name(), "Deep");
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile("/music/A"))->name(), "music");
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
    const MediaItem album = *child(*back, "A");
    EXPECT_EQ(album.artworkURL, QUrl::fromLocalFile(library.path("A/cover.jpg")));
    EXPECT_EQ(album.firstAudioFileURL, QUrl::fromLocalFile(library.path("A/01 #?%.mp3")));
    EXPECT_EQ(findItemByPath({*back}, library.path("A/01 #?%.mp3"))->name(), "01 #?%.mp3");
    EXPECT_FALSE(child(album, "01 #?%.mp3")->children.has_value());
    // Optional keys are left out; unknown ones are passed over.
    EXPECT_EQ(
        QJsonDocument::fromJson(encodeMediaItem(MediaItem::audioFile("/b.mp3"))).object().keys(),
        (QStringList{"containsAudio", "isDirectory", "url"}));
    EXPECT_TRUE(decodeMediaItem(R"({"url":"file:///a.mp3","isDirectory":false,)"
                                R"("containsAudio":true,"rating":5,"x":{}})"));
    EXPECT_FALSE(LibraryStructureCache::load(library.path("missing.json")));
}

// Damaged bytes are refused whole, by the decoder and by the cache (which
// also wants a folder at the root).
TEST(LibraryStructureCache, DamagedFilesCountAsNoCache) {
    const QByteArray good = encodeMediaItem(sampleTree());
    const std::pair<const char*, QByteArray> rows[] = {
        {"missing containsAudio", R"({"url":"file:///a","isDirectory":false})"},
        {"missing url", R"({"isDirectory":false,"containsAudio":true})"},
        {"mistyped", R"({"url":"file:///a","isDirectory":"no","containsAudio":true})"},
        {"malformed child", R"({"url":"file:///a","isDirectory":true,"containsAudio":true,)"
                            R"("children":[{"url":"file:///a/b"}]})"},
        {"children no array",
         R"({"url":"file:///a","isDirectory":true,"containsAudio":true,"children":{}})"},
        {"truncated", good.left(good.size() / 2)},
        {"garbage", QByteArray("garbage\xff\x00", 9)},
        {"array", "[]"},
        {"empty", ""},
        {"file at the root", R"({"url":"file:///x.mp3","isDirectory":false,"containsAudio":true})"},
    };
    TestLibrary library;
    for (const auto& [name, bytes] : rows) {
        QString error;
        if (QByteArray(name) != "file at the root") {
            EXPECT_FALSE(decodeMediaItem(bytes, &error).has_value()) << name;
            EXPECT_FALSE(error.isEmpty()) << name;
        }
        library.add("cache.json", bytes);
        EXPECT_FALSE(LibraryStructureCache::load(library.path("cache.json")).has_value()) << name;
    }
}
