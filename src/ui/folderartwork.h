#pragma once

#include "library/mediaitem.h"

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// What an artwork view needs to know beyond its pictures: which covers its
// stack shows, and whether and how it takes a drop.
class FolderArtwork : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // At most this many sub-folder covers are stacked.
    static constexpr int maxStackCount = 3;

    // Ids of the first sub-folders that contain audio, in tree order.
    Q_INVOKABLE static QStringList stackIds(const MediaItem& item);
    Q_INVOKABLE static bool hasSubfolders(const MediaItem& item);

    // Whether a drag offering these may be dropped (image data offered
    // counts as `offersImage`).
    Q_INVOKABLE static bool acceptsDrop(const QList<QUrl>& urls, bool offersImage,
                                        const QString& text);
    // The address to save as artwork for a drop, or an empty URL when the
    // drop brings nothing usable. Raw image data becomes a JPEG in the
    // temporary directory.
    Q_INVOKABLE static QUrl takeDrop(const QList<QUrl>& urls, const QByteArray& imageData,
                                     const QString& text);
};
