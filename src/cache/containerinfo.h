#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <atomic>
#include <optional>

// What the audio container says about a file (read with libavformat): the
// title and artist of its metadata, the bytes of its embedded pictures in
// stored order, and the first audio stream's sample rate and bits per raw
// sample (0 for lossy codecs, whose samples have no stored width).
struct ContainerInfo {
    std::optional<QString> title;
    std::optional<QString> artist;
    QList<QByteArray> artwork;
    bool hasAudioStream = false;
    int sampleRate = 0;
    int bitsPerRawSample = 0;
};

// Fails (nothing, with a description in `error`) when the file cannot be
// opened or is not a media container, or once `cancel` is set (also inside a
// blocked read). Safe on any thread.
std::optional<ContainerInfo> readContainerInfo(const QString& path, QString* error = nullptr,
                                               const std::atomic<bool>* cancel = nullptr);
