#include "library/mediaitem.h"
#include "library/mediaitemjson.h"
#include "library/mediaitemtree.h"
#include "support/testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <gtest/gtest.h>

namespace {

// Names that break naive URL handling: spaces, '#', '%', '?', non-ASCII.
const QString kOdd = QStringLiteral("/music/Sigur R\u00f3s #1 100% ?/");

MediaItem sampleTree() {
    // root
    //   A/            (sub-folder with a.mp3)
    //     Deep/x.flac
    //     a.mp3
    //   Images/       (only images: no node children, no audio)
    //   b.mp3
    MediaItem deep =
        MediaItem::folder("/music/A/Deep", {MediaItem::audioFile("/music/A/Deep/x.flac")});
    MediaItem a = MediaItem::folder("/music/A", {deep, MediaItem::audioFile("/music/A/a.mp3")});
    MediaItem images = MediaItem::folder("/music/Images", {});
    return MediaItem::folder("/music", {a, images, MediaItem::audioFile("/music/b.mp3")});
}

QStringList namesOf(const QList<MediaItem>& items) {
    QStringList names;
    for (const MediaItem& item : items)
        names << item.name();
    return names;
}

TEST(MediaItemIdentity, IdIsTheFullyEncodedFileUrl) {
    const QString path = kOdd + QStringLiteral("Tr\u00e4ck 1.mp3");
    const MediaItem item = MediaItem::audioFile(path);
    EXPECT_EQ(item.id(), QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    EXPECT_TRUE(item.id().startsWith("file:///music/Sigur%20R%C3%B3s%20%231%20100%25%20%3F/"));
    EXPECT_EQ(item.path(), path);
    EXPECT_EQ(item.name(), QStringLiteral("Tr\u00e4ck 1.mp3"));
    EXPECT_EQ(item.url().toLocalFile(), path);
}

TEST(MediaItemIdentity, EqualityAndHashUseTheIdAlone) {
    MediaItem one = MediaItem::folder("/music/A", {MediaItem::audioFile("/music/A/a.mp3")});
    MediaItem two = MediaItem::folder("/music/A", {});
    two.artworkURL = QUrl::fromLocalFile("/music/A/folder.jpg");
    EXPECT_EQ(one, two);
    EXPECT_EQ(qHash(one), qHash(two));
    EXPECT_EQ(QSet<MediaItem>({one, two}).size(), 1);

    const MediaItem slash = MediaItem(QUrl("file:///music/A/"), true);
    EXPECT_FALSE(one == slash);
}

TEST(MediaItemSubfolders, OnlyFoldersWithAudioAndNeverEmpty) {
    const MediaItem root = sampleTree();
    const auto subfolders = root.subfolders();
    ASSERT_TRUE(subfolders.has_value());
    EXPECT_EQ(namesOf(*subfolders), QStringList({"A"}));

    const MediaItem images = (*root.children)[1];
    EXPECT_TRUE(images.children.has_value());
    EXPECT_TRUE(images.children->isEmpty());
    EXPECT_FALSE(images.containsAudio);
    EXPECT_FALSE(images.subfolders().has_value());
    EXPECT_FALSE(MediaItem::audioFile("/music/b.mp3").subfolders().has_value());
}

TEST(MediaItemSubfolders, AudioDeepDownMarksEveryLevel) {
    MediaItem level3 = MediaItem::folder("/r/1/2/3", {MediaItem::audioFile("/r/1/2/3/t.wav")});
    MediaItem level2 = MediaItem::folder("/r/1/2", {level3});
    MediaItem level1 = MediaItem::folder("/r/1", {level2});
    MediaItem root = MediaItem::folder("/r", {level1});
    for (const MediaItem& folder : {root, level1, level2, level3})
        EXPECT_TRUE(folder.containsAudio) << folder.path().toStdString();
    EXPECT_EQ(root.subfolders()->first(), level1);
    EXPECT_EQ(level1.subfolders()->first(), level2);
    EXPECT_EQ(level2.subfolders()->first(), level3);
    EXPECT_FALSE(level3.subfolders().has_value());
}

TEST(MediaItemFlatten, SubfolderFilesComeFirstDepthFirst) {
    EXPECT_EQ(namesOf(flattenAudioFiles(sampleTree())), QStringList({"x.flac", "a.mp3", "b.mp3"}));
    EXPECT_TRUE(flattenAudioFiles(MediaItem::audioFile("/music/b.mp3")).isEmpty());
    EXPECT_TRUE(flattenAudioFiles(MediaItem()).isEmpty());
}

TEST(MediaItemFlatten, SkipsChildrenWithoutAnAudioExtension) {
    MediaItem stray = MediaItem::fromId(QUrl::fromLocalFile("/m/cover.JPG").toString(), false);
    MediaItem upper = MediaItem::audioFile("/m/LOUD.FLAC");
    MediaItem folder = MediaItem::folder("/m", {stray, upper});
    EXPECT_EQ(namesOf(flattenAudioFiles(folder)), QStringList({"LOUD.FLAC"}));
}

TEST(MediaItemLookup, FindItemByIdIsPreOrderAndExact) {
    const QList<MediaItem> roots = {sampleTree()};
    const QString id = QUrl::fromLocalFile("/music/A/a.mp3").toString(QUrl::FullyEncoded);
    ASSERT_TRUE(findItem(roots, id).has_value());
    EXPECT_EQ(findItem(roots, id)->name(), "a.mp3");
    EXPECT_EQ(findItem(roots, sampleTree().id())->name(), "music");
    EXPECT_FALSE(findItem(roots, "file:///music/A/").has_value())
        << "a trailing '/' changes the id";
    EXPECT_FALSE(findItem({}, id).has_value());
}

TEST(MediaItemLookup, FindByPathIgnoresTrailingSeparator) {
    const QList<MediaItem> roots = {sampleTree()};
    EXPECT_EQ(findItemByPath(roots, QStringLiteral("/music/A/"))->name(), "A");
    EXPECT_EQ(findItemByPath(roots, QUrl("file:///music/A/"))->name(), "A");
    EXPECT_EQ(findItemByPath(roots, QStringLiteral("/music/A/Deep/x.flac"))->name(), "x.flac");
    EXPECT_FALSE(findItemByPath(roots, QStringLiteral("/music/Z")).has_value());

    // A tree whose folder ids carry the separator is found from a plain path too.
    MediaItem slashed(QUrl("file:///music/S/"), true);
    slashed.children = QList<MediaItem>();
    EXPECT_EQ(findItemByPath({slashed}, QStringLiteral("/music/S"))->id(), "file:///music/S/");
}

TEST(MediaItemLookup, FindParentFolderChecksChildrenBeforeDescending) {
    const QList<MediaItem> roots = {sampleTree()};
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile("/music/A/Deep/x.flac"))->name(), "Deep");
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile("/music/b.mp3"))->name(), "music");
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile("/music/A"))->name(), "music");
    EXPECT_FALSE(findParentFolder(roots, QUrl::fromLocalFile("/music")).has_value());
}

TEST(MediaItemLookup, OddNamesKeepTheirIdentityThroughJson) {
    const QString folderPath = kOdd + QStringLiteral("\u65e5\u672c");
    const QString filePath = folderPath + QStringLiteral("/01 #?%.flac");
    const MediaItem root = MediaItem::folder(folderPath, {MediaItem::audioFile(filePath)});
    const std::optional<MediaItem> back = decodeMediaItem(encodeMediaItem(root));
    ASSERT_TRUE(back.has_value());
    const QList<MediaItem> roots = {*back};
    ASSERT_TRUE(findItemByPath(roots, filePath).has_value());
    EXPECT_EQ(findItemByPath(roots, filePath)->path(), filePath);
    EXPECT_TRUE(findItem(roots, MediaItem::audioFile(filePath).id()).has_value());
    EXPECT_EQ(findParentFolder(roots, QUrl::fromLocalFile(filePath))->path(), folderPath);
}

TEST(MediaItemJson, RoundTripKeepsEveryField) {
    MediaItem root = sampleTree();
    root.artworkURL = QUrl::fromLocalFile("/music/folder.jpg");
    root.firstAudioFileURL = QUrl::fromLocalFile("/music/b.mp3");
    const std::optional<MediaItem> back = decodeMediaItem(encodeMediaItem(root));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(encodeMediaItem(*back), encodeMediaItem(root));
    EXPECT_EQ(back->artworkURL, root.artworkURL);
    EXPECT_EQ(back->firstAudioFileURL, root.firstAudioFileURL);
    EXPECT_EQ(back->children->size(), 3);
    EXPECT_TRUE((*back->children)[1].children->isEmpty());
    EXPECT_FALSE((*back->children)[2].children.has_value());
}

TEST(MediaItemJson, OptionalKeysLeftOutAndOutputCompact) {
    const QByteArray json = encodeMediaItem(MediaItem::audioFile("/music/b.mp3"));
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(object.keys().size(), 3);
    EXPECT_TRUE(object.contains("url") && object.contains("isDirectory") &&
                object.contains("containsAudio"));
    EXPECT_FALSE(json.contains(' ') || json.contains('\n'));
    EXPECT_FALSE(json.contains("null"));
}

struct BadDocument {
    const char* name;
    const char* json;
};

class MediaItemJsonRejects : public ::testing::TestWithParam<BadDocument> {};

TEST_P(MediaItemJsonRejects, WholeDocument) {
    QString error;
    EXPECT_FALSE(decodeMediaItem(GetParam().json, &error).has_value());
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MediaItemJsonRejects,
    ::testing::Values(
        BadDocument{"missingContainsAudio", R"({"url":"file:///a","isDirectory":false})"},
        BadDocument{"missingUrl", R"({"isDirectory":false,"containsAudio":true})"},
        BadDocument{"mistypedIsDirectory",
                    R"({"url":"file:///a","isDirectory":"no","containsAudio":true})"},
        BadDocument{
            "malformedChild",
            R"({"url":"file:///a","isDirectory":true,"containsAudio":true,"children":[{"url":"file:///a/b"}]})"},
        BadDocument{"childrenNotArray",
                    R"({"url":"file:///a","isDirectory":true,"containsAudio":true,"children":{}})"},
        BadDocument{"truncated", R"({"url":"file:///a","isDirectory":tr)"},
        BadDocument{"empty", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MediaItemJson, UnknownKeysIgnored) {
    const auto item = decodeMediaItem(
        R"({"url":"file:///a.mp3","isDirectory":false,"containsAudio":true,"rating":5,"x":{}})");
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(item->id(), "file:///a.mp3");
    EXPECT_TRUE(item->containsAudio);
}

} // namespace
