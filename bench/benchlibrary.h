#pragma once

// The benchmark library: 100 artist folders of 99 album folders (10,000
// folders) holding 100,000 audio files, with covers, booklets and a few
// non-audio files. Generated once under the build directory; later runs and
// other benchmarks reuse it.

#include <QColor>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kArtists = 100;
constexpr int kAlbumsPerArtist = 99;
constexpr int kTracksPerAlbum = 10; // plus one bonus track in every tenth album
const char* const kMarker = ".generated-v1";
const char* const kCoversMarker = ".covers-v1";

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

// Pictures in the folder.jpg files (every third album: 3,300 small JPEGs,
// each in its own colours), for the benchmarks whose views show artwork. The
// library keeps its files; only their contents change. Painted once.
void giveCovers(const QString& root) {
    const QString marker = root + QLatin1Char('/') + QLatin1String(kCoversMarker);
    if (QFile::exists(marker))
        return;
    std::printf("Painting covers under %s ...\n", qPrintable(root));
    std::fflush(stdout);
    QDirIterator covers(root, {QStringLiteral("folder.jpg")}, QDir::Files,
                        QDirIterator::Subdirectories);
    for (int count = 0; covers.hasNext(); ++count) {
        const QString path = covers.next();
        const QColor base = QColor::fromHsv(count * 37 % 360, 160, 210);
        QImage image(300, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, 300, 300);
        gradient.setColorAt(0, base);
        gradient.setColorAt(1, base.darker(250));
        painter.fillRect(image.rect(), gradient);
        painter.setPen(Qt::NoPen);
        painter.setBrush(base.lighter(150));
        painter.drawEllipse(QPoint(60 + count % 180, 150), 40 + count % 50, 40 + count % 50);
        painter.end();
        if (!image.save(path, "JPEG", 85)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
    }
    createEmptyFile(marker);
}

} // namespace
