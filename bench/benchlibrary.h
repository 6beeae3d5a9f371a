#pragma once

// The benchmark library: 100 artist folders of 99 album folders (10,000
// folders) holding 100,000 audio files, with covers, booklets and a few
// non-audio files. Generated once under the build directory; later runs and
// other benchmarks reuse it.

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kArtists = 100;
constexpr int kAlbumsPerArtist = 99;
constexpr int kTracksPerAlbum = 10; // plus one bonus track in every tenth album
const char* const kMarker = ".generated-v1";

QString libraryRoot() {
    return QStringLiteral(TOLVANE_BINARY_DIR "/bench-data/scan-library");
}

void createEmptyFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
        std::exit(1);
    }
}

// 100 artist folders holding 99 album folders each (10,000 folders), 100,000
// audio files in all, with covers, booklets and a few non-audio files.
// Generated once; later runs reuse it.
void generateLibrary(const QString& root) {
    if (QFile::exists(root + QLatin1Char('/') + QLatin1String(kMarker)))
        return;
    std::printf("Generating the library under %s ...\n", qPrintable(root));
    std::fflush(stdout);
    QDir(root).removeRecursively();
    const char* const extensions[] = {"mp3", "flac", "m4a", "wav", "aac"};
    int files = 0;
    for (int artist = 1; artist <= kArtists; ++artist) {
        const QString artistName = artist % 10 == 0
                                       ? QStringLiteral("Artïst %1 – Ensemble").arg(artist)
                                       : QStringLiteral("Artist %1").arg(artist);
        for (int album = 1; album <= kAlbumsPerArtist; ++album) {
            const QString albumPath = root + QStringLiteral("/%1/Album %2 (19%3)")
                                                 .arg(artistName)
                                                 .arg(album)
                                                 .arg(album % 100, 2, 10, QLatin1Char('0'));
            QDir().mkpath(albumPath);
            int tracks = kTracksPerAlbum + (album % 10 == 0 ? 1 : 0);
            for (int track = 1; track <= tracks; ++track) {
                const QString name = track % 7 == 0 ? QStringLiteral("%1 - Sönglíne Nummer %1.%2")
                                                    : QStringLiteral("%1 - Track Title %1.%2");
                createEmptyFile(
                    albumPath + QLatin1Char('/') +
                    name.arg(track).arg(QLatin1String(extensions[(album + track) % 5])));
                ++files;
            }
            if (album % 3 == 0)
                createEmptyFile(albumPath + QStringLiteral("/folder.jpg"));
            if (album % 4 == 0)
                createEmptyFile(albumPath + QStringLiteral("/Front Cover.png"));
            if (album % 5 == 0)
                createEmptyFile(albumPath + QStringLiteral("/notes.txt"));
        }
    }
    // Bring the total to exactly 100,000 audio files.
    const QString extras = root + QStringLiteral("/Singles");
    QDir().mkpath(extras);
    for (int i = 1; files < 100000; ++i, ++files)
        createEmptyFile(extras + QStringLiteral("/Single %1.mp3").arg(i));
    createEmptyFile(root + QLatin1Char('/') + QLatin1String(kMarker));
}

} // namespace
