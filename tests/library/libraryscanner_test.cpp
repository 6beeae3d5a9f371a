#include "library/artworkfinder.h"
#include "library/filetypes.h"
#include "library/fileurltext.h"
#include "library/libraryscanner.h"
#include "library/mediaitemtree.h"
#include "support/testlibrary.h"

#include <atomic>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vmtest;
using testsupport::capturedLines;

// Linked ahead of the C library's opendir(), so that a test can cancel a scan
// exactly when the walk reaches its n-th folder.
namespace {
std::atomic<std::atomic<bool>*> cancelOnOpen{nullptr};
std::atomic<int> opensBeforeCancel{0};
} // namespace

extern "C" DIR* opendir(const char* name) {
    static const auto real = reinterpret_cast<DIR* (*)(const char*)>(dlsym(RTLD_NEXT, "opendir"));
    if (std::atomic<bool>* flag = cancelOnOpen.load(); flag && --opensBeforeCancel == 0)
        flag->store(true);
    return real(name);
}

static MediaItem scan(const TestLibrary& library) {
    return scanDirectory(library.rootUrl());
}

TEST(Scanner, ArtworkPriorityForTheTreeAndForTheTrackFolder) {
    // Files, and the cover expected (of several: the first listed); one in a
    // subfolder is found by the scanner only.
    const std::pair<QStringList, QStringList> rows[] = {
        {{"Front Cover.JPG", "folder.jpg", "back.png"}, {"folder.jpg"}},
        {{"back.png", "cover.png"}, {"cover.png"}},
        {{"cover.png", "disc-album.png", "x-artwork.webp"},
         {"cover.png", "disc-album.png", "x-artwork.webp"}},
        {{"Scans/01.jpg"}, {"Scans/01.jpg"}},
        {{"Booklet/01.jpg"}, {}},
        {{"Scans/x.jpg", "Artwork/y.jpg"}, {"Artwork/y.jpg"}},
        {{"notes.txt", "cover.txt", ".folder.jpg"}, {}},
    };
    for (const auto& [files, candidates] : rows) {
        SCOPED_TRACE(files.join(", ").toStdString());
        TestLibrary library;
        for (const QString& file : files + QStringList{"song.mp3"})
            library.add(file);
        QString expected = candidates.value(0);
        for (const QString& name : listingOrder(library.path())) {
            if (candidates.size() > 1 && candidates.contains(name)) {
                expected = name;
                break;
            }
        }

        const MediaItem root = scan(library);
        const std::optional<QUrl> found = findArtwork(library.rootUrl());

        EXPECT_EQ(root.artworkURL.has_value(), !expected.isEmpty());
        if (root.artworkURL)
            EXPECT_EQ(absoluteString(*root.artworkURL), library.id(expected));
        if (expected.isEmpty() || expected.contains('/'))
            EXPECT_FALSE(found.has_value());
        else
            EXPECT_EQ(found, QUrl::fromLocalFile(library.path(expected)));
    }
}

TEST(Scanner, ClassifiesSortsAndKeepsEveryFolder) {
    TestLibrary library;
    for (const char* name :
         {"Track 10.mp3", "Track 2.MP3", "track 1.Flac", "b.m4a", "c.wav", "d.AAC", "song.ogg",
          "notes.txt", "noextension", ".hidden.mp3", ".Hidden/inner.mp3", "cover.jpg", "zzz/x.mp3",
          "Disc 10/x.mp3", "disc 9/x.mp3", "A/B/C/deep.flac", "Images only/cover.jpg",
          "Café #1 100% ?;=+&[]\t\\x.mp3"})
        library.add(name);
    QDir().mkpath(library.path("album.mp3"));

    const MediaItem root = scan(library);

    EXPECT_EQ(childNames(root),
              (QStringList{"A", "album.mp3", "disc 9", "Disc 10", "Images only", "zzz", "b.m4a",
                           "c.wav", "Café #1 100% ?;=+&[]\t\\x.mp3", "d.AAC", "track 1.Flac",
                           "Track 2.MP3", "Track 10.mp3"}));
    // Ids are built as text, not through QUrl, for speed: they must still match.
    for (const QString& name : childNames(root))
        EXPECT_EQ(child(root, name)->id(), library.id(name));
    for (const char* name : {"album.mp3", "Images only"}) {
        const auto folder = child(root, name);
        ASSERT_TRUE(folder && folder->children) << name;
        EXPECT_TRUE(folder->isDirectory && folder->children->isEmpty() && !folder->containsAudio);
        EXPECT_FALSE(folder->subfolders().has_value());
    }
    const auto file = child(root, "Track 2.MP3");
    EXPECT_TRUE(!file->isDirectory && file->containsAudio);
    EXPECT_FALSE(file->children || file->artworkURL || file->firstAudioFileURL);
    MediaItem level = root;
    for (const char* name : {"A", "B", "C"}) {
        EXPECT_TRUE(level.containsAudio) << name;
        const auto next = child(level, name);
        ASSERT_TRUE(next && level.subfolders() && level.subfolders()->contains(*next)) << name;
        level = *next;
    }
    EXPECT_EQ(flattenAudioFiles(root).size(), 11);
    for (const char* name : {"a.mp3.txt", "a.", "a.mp33", "/dir.mp3/file", "x.mp\xc3\xa9", "x.gif"})
        EXPECT_FALSE(isAudioFileName(name) || isImageFileName(name)) << name;
    EXPECT_TRUE(isAudioFileUrl(QUrl("file:///music/Caf%C3%A9.MP3")) && isImageFileName("x.JPEG"));
}

// A FIFO blocks on open and a device never ends: neither may reach a
// player, nor may links to them.
TEST(Scanner, FollowsLinksButNotLoopsAndSkipsFifosDevicesAndNamesThatAreNotUtf8) {
    TestLibrary library;
    for (const char* name : {"good.flac", "Album/a.mp3", "../Elsewhere/b.mp3"})
        library.add(name);
    const std::pair<QString, const char*> links[] = {{"..", "Album/up"},
                                                     {".", "self"},
                                                     {"../Music", "../Elsewhere/back"},
                                                     {"nowhere.mp3", "dangling.mp3"},
                                                     {"/dev/zero", "zero.wav"},
                                                     {"pipe.flac", "linked pipe.flac"},
                                                     {library.path("../Elsewhere"), "Linked"}};
    for (const auto& [target, name] : links)
        ASSERT_TRUE(QFile::link(target, library.path(name))) << name;
    const QByteArray folder = QFile::encodeName(library.path());
    auto at = [&](const char* name) { return QByteArray(folder + name); };
    ASSERT_EQ(mkfifo(at("/pipe.flac").constData(), 0644), 0);
    close(open(at("/bad\xff.mp3").constData(), O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(mkdir(at("/dir\xfe").constData(), 0755), 0);
    close(open(at("/dir\xfe/inner.mp3").constData(), O_CREAT | O_WRONLY, 0644));

    MediaItem root;
    const QStringList lines = capturedLines([&] { root = scan(library); });

    EXPECT_TRUE(lines.isEmpty()) << lines.join('\n').toStdString();
    EXPECT_EQ(childNames(root), (QStringList{"Album", "Linked", "dangling.mp3", "good.flac"}));
    EXPECT_EQ(childNames(*child(root, "Album")), QStringList{"a.mp3"});
    EXPECT_EQ(childNames(*child(root, "Linked")), QStringList{"b.mp3"});
}

TEST(Scanner, CancelledScanEndsWithAPartialTreeAndNoMessage) {
    TestLibrary library;
    for (int i = 0; i < 10; ++i)
        library.add(QStringLiteral("D%1/a.mp3").arg(i));
    std::atomic<bool> cancelled{true};
    MediaItem root;
    QStringList lines = capturedLines([&] { root = scanDirectory(library.rootUrl(), &cancelled); });
    EXPECT_EQ(root.id(), library.id());
    EXPECT_TRUE(root.children && root.children->isEmpty());

    // Cancelled while the third folder is being listed: the first two are
    // whole, the third empty, the rest never visited.
    cancelled = false;
    opensBeforeCancel = 4; // the root, then three folders
    cancelOnOpen = &cancelled;
    lines += capturedLines([&] { root = scanDirectory(library.rootUrl(), &cancelled); });
    cancelOnOpen = nullptr;

    EXPECT_TRUE(lines.isEmpty()) << lines.join('\n').toStdString();
    ASSERT_EQ(childNames(root).size(), 3);
    EXPECT_EQ(flattenAudioFiles(root).size(), 2);
    EXPECT_TRUE(root.containsAudio);
}
