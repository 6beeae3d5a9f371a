#include "library/filetypes.h"

#include <algorithm>
#include <iterator>

QString lowercasedExtension(const QString& fileName) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return {};
    return fileName.mid(dot + 1).toLower();
}

template <size_t N>
static bool hasExtension(const QString& fileName, const char* const (&extensions)[N]) {
    const QString extension = lowercasedExtension(fileName);
    if (extension.isEmpty())
        return false;
    return std::any_of(std::begin(extensions), std::end(extensions),
                       [&](const char* e) { return extension == QLatin1String(e); });
}

bool isAudioFileName(const QString& fileName) { return hasExtension(fileName, audioFileExtensions); }

bool isImageFileName(const QString& fileName) { return hasExtension(fileName, imageFileExtensions); }

bool isAudioFileUrl(const QUrl& url) { return isAudioFileName(url.path()); }
