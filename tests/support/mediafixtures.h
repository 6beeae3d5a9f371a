#pragma once

#include <QColor>
#include <QImage>
#include <QMap>
#include <QSize>
#include <QString>

namespace testsupport {

// An audio file to generate with the ffmpeg CLI. The container and codec
// follow the extension of the path (mp3, m4a, flac, wav, aac).
struct AudioFixture {
    double seconds = 0.2;
    int sampleRate = 44100;
    int channels = 1;
    // "sine" (440 Hz, amplitude below), "silence", or any lavfi source text.
    QString source = QStringLiteral("sine");
    double amplitude = 0.5;
    // FLAC and WAV: 16 or 24.
    int bits = 16;
    QMap<QString, QString> tags; // "title", "artist", "date", ...
    // Embedded as the attached picture when not empty (mp3, m4a, flac).
    QString coverPath;
};

// Returns false (and reports ffmpeg's output as a test failure) when
// generation failed.
bool makeAudioFile(const QString& path, const AudioFixture& fixture = {});

// A 16-bit mono PCM WAV file of `frames` frames of a quiet sine, written directly.
void writeWav(const QString& path, int frames, int sampleRate = 44100);

// A plain image of the given colour, saved in the format the suffix names.
bool makeImageFile(const QString& path, QSize size = {8, 6}, QColor color = Qt::red);
QImage filledImage(QColor color, QSize size = {4, 4});
QByteArray pngBytes(QColor color, QSize size = {6, 5});

} // namespace testsupport
