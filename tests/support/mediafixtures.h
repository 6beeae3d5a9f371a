#pragma once

#include "support/testsupport.h"

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <cmath>

namespace testsupport {

// Made by ffmpeg; the extension (mp3, m4a, flac, wav, aac) picks the format.
struct AudioFixture {
    double seconds = 0.2;
    int sampleRate = 44100, channels = 1;
    QString source = QStringLiteral("sine"); // 440 Hz; or "silence", or lavfi text
    int bits = 16;                           // FLAC and WAV: 16 or 24
    QMap<QString, QString> tags;
    QString coverPath; // the attached picture, if any (mp3, m4a, flac)
};

inline bool makeAudioFile(const QString& path, const AudioFixture& fixture = {}) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString extension = QFileInfo(path).suffix().toLower();
    const QString duration = QString::number(fixture.seconds, 'f', 6);
    const QString rate = QString::number(fixture.sampleRate);
    QString source = fixture.source;
    if (source == QLatin1String("sine"))
        source = QStringLiteral("aevalsrc=0.5*sin(2*PI*440*t):s=%1:d=%2").arg(rate, duration);
    else if (source == QLatin1String("silence"))
        source = QStringLiteral("anullsrc=r=%1:cl=mono,atrim=duration=%2").arg(rate, duration);
    const QString cover = fixture.coverPath;
    QStringList arguments{"-v", "error", "-y", "-f", "lavfi", "-i", source};
    if (!cover.isEmpty())
        arguments += {"-i", cover};
    arguments += {"-map", "0:a"};
    if (!cover.isEmpty())
        arguments +=
            {"-map",           "1:v",         "-c:v", cover.endsWith(".png") ? "png" : "mjpeg",
             "-disposition:v", "attached_pic"};
    arguments += {"-ac", QString::number(fixture.channels), "-ar", rate};
    const QMap<QString, QStringList> codecs = {
        {"mp3", {"-c:a", "libmp3lame", "-b:a", "128k", "-id3v2_version", "3"}},
        {"m4a", {"-c:a", "aac", "-b:a", "96k"}},
        {"aac", {"-c:a", "aac", "-b:a", "96k"}},
        {"flac", {"-c:a", "flac", "-sample_fmt", fixture.bits > 16 ? "s32" : "s16"}},
        {"wav", {"-c:a", fixture.bits > 16 ? "pcm_s24le" : "pcm_s16le"}}};
    arguments += codecs.value(extension);
    for (auto it = fixture.tags.cbegin(); it != fixture.tags.cend(); ++it)
        arguments += {"-metadata", it.key() + QLatin1Char('=') + it.value()};
    if (extension == QLatin1String("aac"))
        arguments += {"-f", "adts", "-write_id3v2", "1"};
    QByteArray output;
    const int code = runProgram(QStringLiteral("ffmpeg"), arguments << path, &output);
    EXPECT_EQ(code, 0) << "ffmpeg " << arguments.join(' ').toStdString() << "\n"
                       << output.toStdString();
    return code == 0 && QFileInfo::exists(path);
}

// A 16-bit mono WAV of a quiet sine, written directly (no ffmpeg run).
inline void writeWav(const QString& path, int frames, int sampleRate = 44100) {
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

inline QImage filledImage(QColor color, QSize size = {4, 4}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

inline bool makeImageFile(const QString& path, QSize size = {8, 6}, QColor color = Qt::red) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(filledImage(color, size).save(path)) << path.toStdString();
    return QFileInfo::exists(path);
}

inline QByteArray pngBytes(QColor color, QSize size = {6, 5}) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    filledImage(color, size).save(&buffer, "PNG");
    return bytes;
}

} // namespace testsupport
