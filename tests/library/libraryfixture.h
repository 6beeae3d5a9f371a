#pragma once

#include "library/mediaitem.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <optional>

// A real folder tree in a temporary directory, built by relative paths.
class TemporaryLibrary {
public:
    TemporaryLibrary();

    const QString& root() const { return m_root; }
    QUrl rootUrl() const { return QUrl::fromLocalFile(m_root); }
    QString path(const QString& relative) const { return m_root + QLatin1Char('/') + relative; }
    QString id(const QString& relative) const;

    // Creates a file (and its folders) holding a few bytes.
    void file(const QString& relative) const;
    void folder(const QString& relative) const;
    void symlink(const QString& target, const QString& relative) const;
    void remove(const QString& relative) const;

private:
    QTemporaryDir m_dir;
    QString m_root;
};

// Names of a folder's children in stored order.
QStringList childNames(const MediaItem& folder);
// The child with this name, searched among the direct children.
std::optional<MediaItem> child(const MediaItem& folder, const QString& name);
// Names in the order the file system lists them (hidden names left out).
QStringList listingOrder(const QString& folderPath);
