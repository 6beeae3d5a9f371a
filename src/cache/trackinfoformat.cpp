#include "cache/trackinfoformat.h"

#include <QFileInfo>

QString formatFileSize(qint64 bytes) {
    const double megabytes = static_cast<double>(bytes) / 1000000.0;
    if (megabytes >= 1.0)
        return QString::asprintf("%.1f MB", megabytes);
    return QString::asprintf("%.0f KB", static_cast<double>(bytes) / 1000.0);
}

QString formatFallbackFileSize(qint64 bytes) {
    return QString::asprintf("%.0f MB", static_cast<double>(bytes) / 1000000.0);
}

QString formatIndexSampleRate(double hertz) {
    if (hertz >= 1000.0)
        return QString::asprintf("%.1f kHz", hertz / 1000.0);
    return QString::asprintf("%.0f Hz", hertz);
}

QString formatStreamSampleRate(double hertz) {
    if (hertz >= 1000.0)
        return QString::asprintf("%.0f kHz", hertz / 1000.0);
    return QString::asprintf("%.0f Hz", hertz);
}

QString formatBitDepth(int bits) {
    return QString::number(bits) + QStringLiteral("bit");
}

QString formatFileType(const QString& fileName) {
    // The extension is what follows the last '.' of the last component.
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1).toUpper();
}

QString joinArtists(const QStringList& artists) {
    return artists.join(QStringLiteral(", "));
}
