#include "library/mediaitem.h"

#include <QDir>

QString absoluteString(const QUrl& url) { return url.toString(QUrl::FullyEncoded); }

QString normalizedPath(const QUrl& url) {
    QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

MediaItem::MediaItem(const QUrl& url, bool isDirectory)
    : isDirectory(isDirectory), m_id(absoluteString(url)) {}

MediaItem MediaItem::fromId(QString id, bool isDirectory) {
    MediaItem item;
    item.isDirectory = isDirectory;
    item.m_id = std::move(id);
    return item;
}

MediaItem MediaItem::audioFile(const QString& path) {
    MediaItem item(QUrl::fromLocalFile(path), false);
    item.containsAudio = true;
    return item;
}

MediaItem MediaItem::folder(const QString& path, QList<MediaItem> children) {
    MediaItem item(QUrl::fromLocalFile(path), true);
    item.containsAudio = std::any_of(children.cbegin(), children.cend(),
                                     [](const MediaItem& child) { return child.containsAudio; });
    item.children = std::move(children);
    return item;
}

QUrl MediaItem::url() const { return QUrl(m_id, QUrl::StrictMode); }

QString MediaItem::path() const { return normalizedPath(url()); }

QString MediaItem::name() const {
    const QString p = path();
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? p : p.mid(slash + 1);
}

std::optional<QList<MediaItem>> MediaItem::subfolders() const {
    if (!children)
        return std::nullopt;
    QList<MediaItem> result;
    for (const MediaItem& child : *children) {
        if (child.isDirectory && child.containsAudio)
            result.append(child);
    }
    if (result.isEmpty())
        return std::nullopt;
    return result;
}
