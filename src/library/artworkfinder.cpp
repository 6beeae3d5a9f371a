#include "library/artworkfinder.h"

#include "base/console.h"
#include "library/artworknames.h"
#include "library/directorylisting.h"
#include "library/filetypes.h"
#include "library/mediaitem.h"

#include <QFile>

std::optional<QUrl> findArtwork(const QUrl& folder) {
    const QString path = normalizedPath(folder);
    const DirectoryListing listing = listDirectory(QFile::encodeName(path));
    if (!listing.error.isEmpty()) {
        printLine(QStringLiteral("Error finding artwork in ") + path + QStringLiteral(": ") +
                  listing.error);
        return std::nullopt;
    }
    const QString* folderJpg = nullptr;
    const QString* keyword = nullptr;
    const QString* fallback = nullptr;
    for (const DirectoryEntry& entry : listing.entries) {
        // A FIFO would block whoever loads it.
        if (entry.type == DirectoryEntry::Type::Special || !isImageFileName(entry.name))
            continue;
        const QString lowered = entry.name.toLower();
        if (isFolderJpgName(lowered))
            folderJpg = &entry.name;
        else if (hasArtworkKeyword(lowered))
            keyword = keyword ? keyword : &entry.name;
        else
            fallback = fallback ? fallback : &entry.name;
    }
    const QString* chosen = folderJpg ? folderJpg : keyword ? keyword : fallback;
    if (!chosen)
        return std::nullopt;
    const QString directory = path == QLatin1String("/") ? QString() : path;
    return QUrl::fromLocalFile(directory + QLatin1Char('/') + *chosen);
}
