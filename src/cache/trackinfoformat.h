#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Display texts of the track information line.

// "%.1f MB" from 1,000,000 bytes up, else "%.0f KB" (999,999 bytes: "1000 KB").
QString formatFileSize(qint64 bytes);
// Used only when the file attributes gave no size: "%.0f MB".
QString formatFallbackFileSize(qint64 bytes);
// The tag reader knows the exact rate: "44.1 kHz"; below 1000 Hz "%.0f Hz".
QString formatIndexSampleRate(double hertz);
// The stream's rate is shown whole: "44 kHz"; below 1000 Hz "%.0f Hz".
QString formatStreamSampleRate(double hertz);
// "24bit".
QString formatBitDepth(int bits);
// Upper-cased path extension of a file name ("" when it has none).
QString formatFileType(const QString& fileName);
// Several artists read as one line.
QString joinArtists(const QStringList& artists);
