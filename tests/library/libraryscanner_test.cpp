#include "library/libraryscanner.h"
#include "library/mediaitemtree.h"
#include "libraryfixture.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using testsupport::capturedLines;

namespace {

MediaItem scan(const TemporaryLibrary& library) {
    return scanDirectory(library.rootUrl());
}

struct ArtworkCase {
    const char* name;
    QStringList files;
    // The expected artwork; with several, the one the file system lists first.
    QStringList expected;
};

class ArtworkPriority : public ::testing::TestWithParam<ArtworkCase> {};

QString firstListed(const TemporaryLibrary& library, const QStringList& candidates) {
    if (candidates.size() == 1)
        return candidates.first();
    for (const QString& name : listingOrder(library.root())) {
        if (candidates.contains(name))
            return name;
    }
    return {};
}

} // namespace

TEST_P(ArtworkPriority, ChoosesTheFolderCover) {
    const ArtworkCase& row = GetParam();
    TemporaryLibrary library;
    library.file(QStringLiteral("song.mp3"));
    for (const QString& file : row.files)
        library.file(file);

    const MediaItem root = scan(library);

    if (row.expected.isEmpty()) {
        EXPECT_FALSE(root.artworkURL.has_value()) << root.artworkURL->toString().toStdString();
        return;
    }
    ASSERT_TRUE(root.artworkURL.has_value());
    EXPECT_EQ(absoluteString(*root.artworkURL), library.id(firstListed(library, row.expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Scanner, ArtworkPriority,
    ::testing::Values(
        ArtworkCase{"FolderJpgBeatsKeywordAndFallback",
                    {"Front Cover.JPG", "folder.jpg", "back.png"},
                    {"folder.jpg"}},
        ArtworkCase{"FolderJpgInCapitals", {"FOLDER.JPG", "cover.png"}, {"FOLDER.JPG"}},
        ArtworkCase{"FolderJpgInMixedCase", {"FRONT.PNG", "Folder.Jpg"}, {"Folder.Jpg"}},
        ArtworkCase{"KeywordBeatsFallback", {"back.png", "cover.png"}, {"cover.png"}},
        ArtworkCase{"FirstListedKeywordWins",
                    {"cover.png", "disc-album.png"},
                    {"cover.png", "disc-album.png"}},
        ArtworkCase{"FallbackImage", {"scan1.jpg"}, {"scan1.jpg"}},
        ArtworkCase{"FirstListedFallbackWins", {"a.png", "b.webp"}, {"a.png", "b.webp"}},
        ArtworkCase{"FolderPngIsOnlyAFallback", {"folder.png", "x.jpeg"}, {"folder.png", "x.jpeg"}},
        ArtworkCase{"ArtworkNamedSubfolder", {"Scans/01.jpg"}, {"Scans/01.jpg"}},
        ArtworkCase{"OtherSubfoldersAreNotConsulted", {"Booklet/01.jpg"}, {}},
        ArtworkCase{"NestedArtworkSubfolders", {"Cover/Scans/01.jpg"}, {"Cover/Scans/01.jpg"}},
        ArtworkCase{"FirstArtworkSubfolderInSortedOrder",
                    {"Scans/x.jpg", "Artwork/y.jpg"},
                    {"Artwork/y.jpg"}},
        ArtworkCase{"SubfolderWithoutArtworkIsSkipped",
                    {"Covers/readme.txt", "Scans/z.jpg"},
                    {"Scans/z.jpg"}},
        ArtworkCase{
            "ImageInFolderBeatsSubfolder", {"artwork.webp", "Covers/front.jpg"}, {"artwork.webp"}},
        ArtworkCase{"OnlyImageExtensionsCount", {"cover.gif", "album.jpeg"}, {"album.jpeg"}},
        ArtworkCase{"NoImage", {"notes.txt", "cover.txt"}, {}}),
    [](const ::testing::TestParamInfo<ArtworkCase>& info) { return info.param.name; });

TEST(Scanner, FirstAudioFileFollowsListingOrderNotSortedOrder) {
    TemporaryLibrary library;
    for (char c = 'a'; c <= 'z'; ++c)
        library.file(QStringLiteral("%1.mp3").arg(QLatin1Char(c)));
    // Make sure the first listed file is not the first in name order.
    QStringList listed = listingOrder(library.root());
    while (listed.size() > 2 && listed.first() == *std::min_element(listed.begin(), listed.end())) {
        library.remove(listed.first());
        listed = listingOrder(library.root());
    }
    ASSERT_NE(listed.first(), *std::min_element(listed.begin(), listed.end()));

    const MediaItem root = scan(library);

    ASSERT_TRUE(root.firstAudioFileURL.has_value());
    EXPECT_EQ(absoluteString(*root.firstAudioFileURL), library.id(listed.first()));
    QStringList sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(childNames(root), sorted);
}

TEST(Scanner, FirstAudioFileIsAbsentWhenAudioLiesOnlyInSubfolders) {
    TemporaryLibrary library;
    library.file(QStringLiteral("Disc 1/a.mp3"));
    library.file(QStringLiteral("cover.jpg"));
    const MediaItem root = scan(library);
    EXPECT_FALSE(root.firstAudioFileURL.has_value());
    EXPECT_TRUE(root.containsAudio);
    const auto disc = child(root, QStringLiteral("Disc 1"));
    ASSERT_TRUE(disc && disc->firstAudioFileURL);
    EXPECT_EQ(absoluteString(*disc->firstAudioFileURL), library.id(QStringLiteral("Disc 1/a.mp3")));
}

TEST(Scanner, ClassifiesByLowerCasedExtensionAndSkipsHiddenEntries) {
    TemporaryLibrary library;
    for (const char* name :
         {"song.MP3", "a.Flac", "b.m4a", "c.wav", "d.AAC", "song.ogg", "notes.txt", "noextension",
          ".hidden.mp3", ".Hidden/inner.mp3", "cover.jpg"})
        library.file(QString::fromUtf8(name));
    library.folder(QStringLiteral("album.mp3"));

    const MediaItem root = scan(library);

    EXPECT_EQ(childNames(root),
              (QStringList{"album.mp3", "a.Flac", "b.m4a", "c.wav", "d.AAC", "song.MP3"}));
    const auto folder = child(root, QStringLiteral("album.mp3"));
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->isDirectory);
    EXPECT_FALSE(folder->containsAudio);
    const auto file = child(root, QStringLiteral("song.MP3"));
    ASSERT_TRUE(file.has_value());
    EXPECT_FALSE(file->isDirectory);
    EXPECT_TRUE(file->containsAudio);
    EXPECT_FALSE(file->children || file->artworkURL || file->firstAudioFileURL);
}

TEST(Scanner, SortsFoldersFirstThenNumericallyAndCaseInsensitively) {
    TemporaryLibrary library;
    for (const char* name : {"Track 10.mp3", "Track 2.mp3", "track 1.mp3", "Track 3.MP3", "aaa.mp3",
                             "zzz/x.mp3", "Disc 10/x.mp3", "disc 9/x.mp3", "B/x.mp3"})
        library.file(QString::fromUtf8(name));

    const MediaItem root = scan(library);

    EXPECT_EQ(childNames(root),
              (QStringList{"B", "disc 9", "Disc 10", "zzz", "aaa.mp3", "track 1.mp3", "Track 2.mp3",
                           "Track 3.MP3", "Track 10.mp3"}));
}

TEST(Scanner, KeepsEveryFolderAndMarksWhereAudioIs) {
    TemporaryLibrary library;
    library.file(QStringLiteral("Images only/cover.jpg"));
    library.file(QStringLiteral("A/B/C/deep.flac"));
    library.folder(QStringLiteral("Empty"));

    const MediaItem root = scan(library);

    const auto images = child(root, QStringLiteral("Images only"));
    ASSERT_TRUE(images.has_value());
    ASSERT_TRUE(images->children.has_value());
    EXPECT_TRUE(images->children->isEmpty());
    EXPECT_FALSE(images->containsAudio);
    EXPECT_FALSE(images->subfolders().has_value());
    EXPECT_TRUE(images->artworkURL.has_value());
    const auto empty = child(root, QStringLiteral("Empty"));
    ASSERT_TRUE(empty && empty->children);
    EXPECT_FALSE(empty->containsAudio);

    MediaItem level = root;
    for (const char* name : {"A", "B", "C"}) {
        EXPECT_TRUE(level.containsAudio) << name;
        ASSERT_TRUE(level.subfolders().has_value()) << name;
        const auto next = child(level, QString::fromUtf8(name));
        ASSERT_TRUE(next.has_value());
        EXPECT_TRUE(level.subfolders()->contains(*next));
        level = *next;
    }
    EXPECT_EQ(flattenAudioFiles(root).size(), 1);
}

TEST(Scanner, IdsMatchTheFileUrlsOfOddNames) {
    TemporaryLibrary library;
    const QStringList names{QStringLiteral("a b#c?d%20.mp3"),
                            QStringLiteral("Café [live] ~ 100%.flac"),
                            QStringLiteral("日本語/曲 1.m4a"),
                            QStringLiteral("semi;colon+plus&amp.wav"),
                            QStringLiteral("quote's \"dq\" {x}|^`<>.aac"),
                            QStringLiteral("back\\slash.mp3")};
    for (const QString& name : names)
        library.file(name);

    const MediaItem root = scan(library);

    EXPECT_EQ(root.id(), library.id(QString()));
    for (const QString& name : names)
        EXPECT_TRUE(findItem({root}, library.id(name)).has_value()) << name.toStdString();
    EXPECT_EQ(flattenAudioFiles(root).size(), names.size());
}

TEST(Scanner, MissingFolderGivesAnEmptyNodeAndTheErrorLine) {
    TemporaryLibrary library;
    const QUrl missing = QUrl::fromLocalFile(library.path(QStringLiteral("Gone")));
    MediaItem root;
    const QStringList lines = capturedLines([&] { root = scanDirectory(missing); });
    EXPECT_EQ(lines, QStringList{QStringLiteral(
                         "Error scanning directory Gone: No such file or directory")});
    EXPECT_TRUE(root.isDirectory);
    ASSERT_TRUE(root.children.has_value());
    EXPECT_TRUE(root.children->isEmpty());
    EXPECT_FALSE(root.containsAudio);
    EXPECT_EQ(root.id(), library.id(QStringLiteral("Gone")));
}

TEST(Scanner, UnreadableSubfolderBecomesAnEmptyFolder) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not apply to root; see the deep-path test";
    TemporaryLibrary library;
    library.file(QStringLiteral("Locked/a.mp3"));
    library.file(QStringLiteral("Open/b.mp3"));
    ASSERT_EQ(chmod(QFile::encodeName(library.path(QStringLiteral("Locked"))).constData(), 0), 0);
    MediaItem root;
    const QStringList lines = capturedLines([&] { root = scan(library); });
    chmod(QFile::encodeName(library.path(QStringLiteral("Locked"))).constData(), 0755);

    EXPECT_EQ(lines,
              QStringList{QStringLiteral("Error scanning directory Locked: Permission denied")});
    const auto locked = child(root, QStringLiteral("Locked"));
    ASSERT_TRUE(locked && locked->children);
    EXPECT_TRUE(locked->children->isEmpty());
    EXPECT_FALSE(locked->containsAudio);
    EXPECT_TRUE(root.containsAudio);
}

// A folder whose path is longer than the system allows cannot be listed, even
// by root: the scan keeps everything else and reports that folder.
TEST(Scanner, FolderBeyondThePathLimitBecomesAnEmptyFolder) {
    TemporaryLibrary library;
    library.file(QStringLiteral("top.mp3"));
    const QString segment(200, QLatin1Char('d'));
    int fd = open(QFile::encodeName(library.root()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < 22; ++level) {
        ASSERT_EQ(mkdirat(fd, segment.toLatin1().constData(), 0755), 0);
        const int next = openat(fd, segment.toLatin1().constData(), O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    close(openat(fd, "deep.mp3", O_CREAT | O_WRONLY, 0644));
    close(fd);

    MediaItem root;
    const QStringList lines = capturedLines([&] { root = scan(library); });
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), library.path(segment)});

    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.first(), QStringLiteral("Error scanning directory ") + segment +
                                 QStringLiteral(": File name too long"));
    EXPECT_EQ(childNames(root), (QStringList{segment, QStringLiteral("top.mp3")}));
    const auto deep = child(root, segment);
    ASSERT_TRUE(deep.has_value());
    EXPECT_FALSE(deep->containsAudio);
}

TEST(Scanner, FollowsLinkedFoldersButNotLoops) {
    TemporaryLibrary library;
    library.file(QStringLiteral("Album/a.mp3"));
    library.file(QStringLiteral("../Elsewhere/b.mp3"));
    library.symlink(QStringLiteral(".."), QStringLiteral("Album/up"));
    library.symlink(QStringLiteral("."), QStringLiteral("self"));
    library.symlink(library.path(QStringLiteral("../Elsewhere")), QStringLiteral("Linked"));
    library.symlink(QStringLiteral("../Music"), QStringLiteral("../Elsewhere/back"));
    library.symlink(QStringLiteral("nowhere.mp3"), QStringLiteral("dangling.mp3"));

    const MediaItem root = scan(library);

    EXPECT_EQ(childNames(root), (QStringList{"Album", "Linked", "dangling.mp3"}));
    EXPECT_EQ(childNames(*child(root, QStringLiteral("Album"))), QStringList{"a.mp3"});
    const auto linked = child(root, QStringLiteral("Linked"));
    ASSERT_TRUE(linked.has_value());
    EXPECT_TRUE(linked->isDirectory);
    EXPECT_EQ(childNames(*linked), QStringList{"b.mp3"});
}

// Opening a FIFO blocks until someone writes to it, a device never ends:
// neither may reach a player, nor may links to them.
TEST(Scanner, SkipsFifosSocketsAndDevices) {
    TemporaryLibrary library;
    library.file(QStringLiteral("good.flac"));
    const QByteArray folder = QFile::encodeName(library.root());
    ASSERT_EQ(mkfifo((folder + "/pipe.flac").constData(), 0644), 0);
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = folder + "/socket.mp3";
    ASSERT_LT(size_t(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    library.symlink(QStringLiteral("/dev/zero"), QStringLiteral("zero.wav"));
    library.symlink(QStringLiteral("pipe.flac"), QStringLiteral("linked pipe.flac"));

    const MediaItem tree = scan(library);
    close(socketFd);

    EXPECT_EQ(childNames(tree), QStringList{"good.flac"});
}

TEST(Scanner, SkipsNamesThatAreNotUtf8) {
    TemporaryLibrary library;
    library.file(QStringLiteral("good.mp3"));
    const QByteArray root = QFile::encodeName(library.root());
    close(open((root + "/bad\xff.mp3").constData(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(mkdir((root + "/dir\xfe").constData(), 0755), 0);
    close(open((root + "/dir\xfe/inner.mp3").constData(), O_CREAT | O_WRONLY, 0644));

    MediaItem tree;
    const QStringList lines = capturedLines([&] { tree = scan(library); });

    EXPECT_TRUE(lines.isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(childNames(tree), QStringList{"good.mp3"});
}

TEST(Scanner, CancelledScanEndsWithAPartialTreeAndNoMessage) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    library.file(QStringLiteral("b.mp3"));
    std::atomic<bool> cancelled{true};
    MediaItem root;
    const QStringList lines =
        capturedLines([&] { root = scanDirectory(library.rootUrl(), &cancelled); });
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(root.id(), library.id(QString()));
    ASSERT_TRUE(root.children.has_value());
    EXPECT_TRUE(root.children->isEmpty());

    cancelled = false;
    EXPECT_EQ(childNames(scanDirectory(library.rootUrl(), &cancelled)),
              (QStringList{"A", "b.mp3"}));
}
