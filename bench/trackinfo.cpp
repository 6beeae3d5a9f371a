// Reading the track information of 1,000 tagged files: the tag reader and
// the container read that loading a track does per file.
#include "cache/containerinfo.h"
#include "cache/fileinforeader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>

namespace {

constexpr int fileCount = 1000;

bool makeTaggedFile(const QString& path, const QString& cover, const QStringList& codec) {
    QStringList arguments = {"-hide_banner",
                             "-loglevel",
                             "error",
                             "-y",
                             "-f",
                             "lavfi",
                             "-i",
                             "sine=f=440:r=44100:d=5",
                             "-i",
                             cover,
                             "-map",
                             "0:a",
                             "-map",
                             "1:v",
                             "-c:v",
                             "mjpeg",
                             "-disposition:v",
                             "attached_pic",
                             "-metadata",
                             "title=A Song Title",
                             "-metadata",
                             "artist=Some Artist",
                             "-metadata",
                             "date=2011"};
    arguments << codec << path;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"), arguments);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString cover = dir.path() + "/cover.jpg";
    QImage image(600, 600, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(cover, "JPG");

    const QList<std::pair<QString, QStringList>> kinds = {
        {"mp3", {"-c:a", "libmp3lame", "-id3v2_version", "3"}},
        {"m4a", {"-c:a", "aac"}},
        {"flac", {"-c:a", "flac"}},
    };
    QStringList files;
    for (const auto& [extension, codec] : kinds) {
        const QString source = dir.path() + "/source." + extension;
        if (!makeTaggedFile(source, cover, codec)) {
            std::fprintf(stderr, "ffmpeg could not make %s\n", qPrintable(source));
            return 1;
        }
        files << source;
    }
    // Copies under their own names, a third of each kind.
    QStringList library;
    for (int i = 0; i < fileCount; ++i) {
        const QString source = files[i % files.size()];
        const QString copy =
            dir.path() + QStringLiteral("/track%1.").arg(i) + QFileInfo(source).suffix();
        QFile::copy(source, copy);
        library << copy;
    }

    QElapsedTimer timer;
    timer.start();
    int complete = 0;
    for (const QString& path : library) {
        const CachedMetadata info = readFileInfo(QUrl::fromLocalFile(path));
        const auto container = readContainerInfo(path);
        if (info.title && container && !container->artwork.isEmpty())
            ++complete;
    }
    const double milliseconds = timer.nsecsElapsed() / 1e6;
    std::printf("%d files, %d with title and artwork, %.1f ms\n", fileCount, complete,
                milliseconds);
    std::printf("RESULT trackinfo_ms_per_file %.3f\n", milliseconds / fileCount);
    return complete == fileCount ? 0 : 1;
}
