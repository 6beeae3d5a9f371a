#pragma once

#include <QList>
#include <QUrl>
#include <optional>

inline constexpr int waveformBucketCount = 1500;

// The loudness outline of a file: the RMS of the first channel over 1500
// equal runs of frames (the remainder of the division is left out), scaled
// so that the loudest run is 1.0 (all zeros stay zeros). The file is decoded
// once, front to back. Nothing for a file shorter than 1500 frames; an
// unreadable file also prints "Error generating waveform: " and the reason.
// Runs off the GUI thread.
std::optional<QList<float>> generateWaveform(const QUrl& fileUrl);

// Divides by the largest value when it is greater than 0.
void normalizeWaveform(QList<float>& values);
