#include "ui/folderartwork.h"

#include "ui/artworkdrop.h"
#include "ui/sidebarentries.h"

#include <QDir>

QStringList FolderArtwork::stackIds(const MediaItem& item) {
    QStringList ids;
    if (!item.children)
        return ids;
    for (const MediaItem& child : std::as_const(*item.children)) {
        if (ids.size() == maxStackCount)
            break;
        if (child.isDirectory && child.containsAudio)
            ids.append(child.id());
    }
    return ids;
}

bool FolderArtwork::hasSubfolders(const MediaItem& item) {
    return hasAudioSubfolders(item);
}

bool FolderArtwork::acceptsDrop(const QList<QUrl>& urls, bool offersImage, const QString& text) {
    return acceptsArtworkDrop({urls, offersImage ? QByteArray("image") : QByteArray(), text});
}

QUrl FolderArtwork::takeDrop(const QList<QUrl>& urls, const QByteArray& imageData,
                             const QString& text) {
    return takeArtworkDrop({urls, imageData, text}, QDir::tempPath()).url.value_or(QUrl());
}
