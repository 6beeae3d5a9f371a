#include "support/mediafixtures.h"

#include "support/testsupport.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

QString lavfiSource(const AudioFixture& fixture) {
    const QString duration = QString::number(fixture.seconds, 'f', 6);
    const QString rate = QString::number(fixture.sampleRate);
    if (fixture.source == QLatin1String("sine"))
        return QStringLiteral("aevalsrc=%1*sin(2*PI*440*t):s=%2:d=%3")
            .arg(QString::number(fixture.amplitude, 'f', 6), rate, duration);
    if (fixture.source == QLatin1String("silence"))
        return QStringLiteral("anullsrc=r=%1:cl=mono,atrim=duration=%2").arg(rate, duration);
    return fixture.source;
}

QStringList codecArguments(const QString& extension, const AudioFixture& fixture) {
    if (extension == QLatin1String("mp3"))
        return {"-c:a", "libmp3lame", "-b:a", "128k"};
    if (extension == QLatin1String("m4a") || extension == QLatin1String("aac"))
        return {"-c:a", "aac", "-b:a", "96k"};
    if (extension == QLatin1String("flac"))
        return {"-c:a", "flac", "-sample_fmt", fixture.bits > 16 ? "s32" : "s16"};
    if (extension == QLatin1String("wav"))
        return {"-c:a", fixture.bits > 16 ? "pcm_s24le" : "pcm_s16le"};
    return {};
}

} // namespace

bool makeAudioFile(const QString& path, const AudioFixture& fixture) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString extension = QFileInfo(path).suffix().toLower();
    QStringList arguments = {"-hide_banner", "-loglevel", "error", "-y",
                             "-f",           "lavfi",     "-i",    lavfiSource(fixture)};
    const bool withCover = !fixture.coverPath.isEmpty();
    if (withCover)
        arguments << "-i" << fixture.coverPath;
    arguments << "-map"
              << "0:a";
    if (withCover) {
        const bool png = fixture.coverPath.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
        arguments << "-map"
                  << "1:v"
                  << "-c:v" << (png ? "png" : "mjpeg") << "-disposition:v"
                  << "attached_pic";
    }
    arguments << "-ac" << QString::number(fixture.channels) << "-ar"
              << QString::number(fixture.sampleRate);
    arguments << codecArguments(extension, fixture);
    if (extension == QLatin1String("mp3"))
        arguments << "-id3v2_version"
                  << "3";
    for (auto it = fixture.tags.cbegin(); it != fixture.tags.cend(); ++it)
        arguments << "-metadata" << it.key() + QLatin1Char('=') + it.value();
    if (extension == QLatin1String("aac"))
        arguments << "-f"
                  << "adts"
                  << "-write_id3v2"
                  << "1";
    arguments << path;

    QByteArray output;
    const int code = runProgram(QStringLiteral("ffmpeg"), arguments, &output);
    EXPECT_EQ(code, 0) << "ffmpeg " << arguments.join(' ').toStdString() << "\n"
                       << output.toStdString();
    return code == 0 && QFileInfo::exists(path);
}

void writeWav(const QString& path, int frames, int sampleRate) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = static_cast<quint32>(frames) * 2;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(sampleRate) << quint32(sampleRate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (int i = 0; i < frames; ++i)
        out << qint16(std::lround(3000 * std::sin(2 * M_PI * 440 * i / sampleRate)));
    writeFile(path, data);
}

bool makeImageFile(const QString& path, QSize size, QColor color) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool saved = filledImage(color, size).save(path);
    EXPECT_TRUE(saved) << path.toStdString();
    return saved;
}

QImage filledImage(QColor color, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

QByteArray pngBytes(QColor color, QSize size) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    filledImage(color, size).save(&buffer, "PNG");
    return bytes;
}

} // namespace testsupport
