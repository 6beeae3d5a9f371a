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

// Called for every file of large trees, so ASCII extensions (nearly all) are
// compared in place instead of through a lower-cased copy.
template <size_t N>
static bool hasExtension(const QString& fileName, const char* const (&extensions)[N]) {
    // From the end: the extension is short, the path before it is not.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot + 1 == fileName.size())
        return false;
    const QStringView extension = QStringView(fileName).mid(dot + 1);
    if (extension.contains(QLatin1Char('/')))
        return false;
    const bool isAscii =
        std::all_of(extension.begin(), extension.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (isAscii) {
        return std::any_of(std::begin(extensions), std::end(extensions), [&](const char* e) {
            return extension.compare(QLatin1String(e), Qt::CaseInsensitive) == 0;
        });
    }
    const QString lowered = extension.toString().toLower();
    return std::any_of(std::begin(extensions), std::end(extensions),
                       [&](const char* e) { return lowered == QLatin1String(e); });
}

bool isAudioFileName(const QString& fileName) {
    return hasExtension(fileName, audioFileExtensions);
}

bool isImageFileName(const QString& fileName) {
    return hasExtension(fileName, imageFileExtensions);
}

bool isAudioFileUrl(const QUrl& url) {
    return isAudioFileName(url.path());
}
