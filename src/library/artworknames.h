#pragma once

#include <QLatin1String>
#include <QString>
#include <algorithm>
#include <iterator>

// Names that mark a cover image, all compared with lower-cased names.

inline bool isFolderJpgName(const QString& lowercasedName) {
    return lowercasedName == QLatin1String("folder.jpg");
}

// Substring match, tested in this order.
inline bool hasArtworkKeyword(const QString& lowercasedName) {
    static const QLatin1String keywords[] = {QLatin1String("cover"), QLatin1String("artwork"),
                                             QLatin1String("front"), QLatin1String("album")};
    return std::any_of(std::begin(keywords), std::end(keywords),
                       [&](QLatin1String keyword) { return lowercasedName.contains(keyword); });
}

// A sub-folder whose artwork stands for its parent's: exact name match.
inline bool isArtworkFolderName(const QString& lowercasedName) {
    static const QLatin1String names[] = {QLatin1String("cover"), QLatin1String("artwork"),
                                          QLatin1String("scans"), QLatin1String("covers")};
    return std::any_of(std::begin(names), std::end(names),
                       [&](QLatin1String name) { return lowercasedName == name; });
}
