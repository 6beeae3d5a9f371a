#include "library/artworkfinder.h"
#include "libraryfixture.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using testsupport::capturedLines;

namespace {
std::optional<QString> artworkName(const TemporaryLibrary& library) {
    const std::optional<QUrl> url = findArtwork(library.rootUrl());
    if (!url)
        return std::nullopt;
    return url->fileName();
}
} // namespace

TEST(FindArtwork, FolderJpgWinsInAnyCase) {
    TemporaryLibrary library;
    for (const char* name : {"Front Cover.JPG", "FOLDER.JPG", "back.png", "a.mp3"})
        library.file(QString::fromUtf8(name));
    EXPECT_EQ(artworkName(library), QStringLiteral("FOLDER.JPG"));
    EXPECT_EQ(findArtwork(library.rootUrl()),
              QUrl::fromLocalFile(library.path(QStringLiteral("FOLDER.JPG"))));
}

TEST(FindArtwork, KeywordBeatsFallbackAndTheFirstListedKeywordWins) {
    TemporaryLibrary library;
    for (const char* name : {"back.png", "disc-album.png", "my cover.webp"})
        library.file(QString::fromUtf8(name));
    QString firstKeyword;
    for (const QString& name : listingOrder(library.root())) {
        if (name != QLatin1String("back.png")) {
            firstKeyword = name;
            break;
        }
    }
    EXPECT_EQ(artworkName(library), firstKeyword);
}

TEST(FindArtwork, FallsBackToAnyImageAndIgnoresSubfolders) {
    TemporaryLibrary library;
    library.file(QStringLiteral("scan1.jpeg"));
    library.file(QStringLiteral("Scans/cover.jpg"));
    library.file(QStringLiteral("cover.gif"));
    EXPECT_EQ(artworkName(library), QStringLiteral("scan1.jpeg"));
}

TEST(FindArtwork, NothingWithoutImagesOrForHiddenOnes) {
    TemporaryLibrary library;
    library.file(QStringLiteral(".folder.jpg"));
    library.file(QStringLiteral("notes.txt"));
    library.file(QStringLiteral("Covers/front.jpg"));
    EXPECT_FALSE(artworkName(library).has_value());
}

TEST(FindArtwork, UnlistableFolderPrintsTheErrorLine) {
    TemporaryLibrary library;
    const QString missing = library.path(QStringLiteral("Gone"));
    std::optional<QUrl> result;
    const QStringList lines =
        capturedLines([&] { result = findArtwork(QUrl::fromLocalFile(missing)); });
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(lines, QStringList{QStringLiteral("Error finding artwork in ") + missing +
                                 QStringLiteral(": No such file or directory")});
}
