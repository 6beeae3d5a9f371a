#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <optional>

// One node of the library tree: a folder or an audio file.
//
// A node's identity is its URL's absolute string (`id`); equality and hashing
// use it alone, so a rescanned folder equals its old version. Only the id is
// stored (not a QUrl) because a 100,000-file tree must stay small in memory.
class MediaItem {
    Q_GADGET
    Q_PROPERTY(QString id READ id CONSTANT)
    Q_PROPERTY(QUrl url READ url CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(QString path READ path CONSTANT)
    Q_PROPERTY(bool isDirectory MEMBER isDirectory CONSTANT)
    Q_PROPERTY(bool containsAudio MEMBER containsAudio CONSTANT)

public:
    MediaItem() = default;
    MediaItem(const QUrl& url, bool isDirectory);

    static MediaItem fromId(QString id, bool isDirectory);
    static MediaItem audioFile(const QString& path);
    static MediaItem folder(const QString& path, QList<MediaItem> children = {});

    const QString& id() const { return m_id; }
    QUrl url() const;
    // File-system path without a trailing separator (except for "/").
    QString path() const;
    // Last path component: the name shown to the user.
    QString name() const;
    bool isValid() const { return !m_id.isEmpty(); }

    // Children that are folders holding audio; absent rather than empty.
    std::optional<QList<MediaItem>> subfolders() const;

    bool isDirectory = false;
    std::optional<QList<MediaItem>> children;
    std::optional<QUrl> artworkURL;
    std::optional<QUrl> firstAudioFileURL;
    bool containsAudio = false;

    friend bool operator==(const MediaItem& a, const MediaItem& b) { return a.m_id == b.m_id; }

private:
    QString m_id;
};

inline size_t qHash(const MediaItem& item, size_t seed = 0) { return qHash(item.id(), seed); }

template <>
struct std::hash<MediaItem> {
    size_t operator()(const MediaItem& item) const { return qHash(item.id()); }
};

// The absolute string of a URL: the text every id and cache key is made of.
QString absoluteString(const QUrl& url);
// The path of a URL as a plain file-system path, trailing separator removed.
QString normalizedPath(const QUrl& url);

Q_DECLARE_METATYPE(MediaItem)
