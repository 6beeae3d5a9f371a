#pragma once

#include "library/mediaitem.h"
#include "support/mediafixtures.h"

#include <optional>

namespace vmtest {

inline QStringList childNames(const MediaItem& folder) {
    QStringList result;
    for (const MediaItem& item : folder.children.value_or(QList<MediaItem>()))
        result.append(item.name());
    return result;
}

inline std::optional<MediaItem> child(const MediaItem& folder, const QString& name) {
    const qsizetype at = childNames(folder).indexOf(name);
    return at < 0 ? std::nullopt : std::optional(folder.children->at(at));
}

template <typename T> QStringList names(const QList<T>& items) {
    QStringList result;
    for (const T& item : items)
        if constexpr (std::is_pointer_v<T>)
            result.append(item->url().fileName().section('.', 0, 0));
        else
            result.append(item.name().section('.', 0, 0));
    return result;
}

inline QStringList listingOrder(const QString& folderPath) {
    return QDir(folderPath)
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// ".../Music", canonical so ids match the scanner's; empty, or with folders
// F (f1-f3), G (g1-g3), H (h1-h2) and X (x1-x2) of WAV files.
class TestLibrary {
public:
    TestLibrary() : m_path(QFileInfo(m_dir.path()).canonicalFilePath() + "/Music") {
        QDir().mkpath(m_path);
        m_root = MediaItem::folder(m_path);
    }
    explicit TestLibrary(int framesPerFile, int sampleRate = 44100) : TestLibrary() {
        QList<MediaItem> folders;
        for (const auto& [folder, count] : {std::pair{'F', 3}, {'G', 3}, {'H', 2}, {'X', 2}}) {
            QList<MediaItem> files;
            for (int i = 1; i <= count; ++i) {
                const QString name =
                    QString(folder) + '/' + QChar(folder).toLower() + char('0' + i);
                testsupport::writeWav(path(name + ".wav"), framesPerFile, sampleRate);
                files.append(MediaItem::audioFile(path(name + ".wav")));
            }
            folders.append(MediaItem::folder(path(QString(folder)), files));
        }
        m_root = MediaItem::folder(m_path, folders);
    }

    QString path(const QString& relative = {}) const {
        return relative.isEmpty() ? m_path : m_path + '/' + relative;
    }
    QUrl rootUrl() const { return QUrl::fromLocalFile(path()); }
    QString id(const QString& relative = {}) const {
        return absoluteString(QUrl::fromLocalFile(path(relative)));
    }
    const MediaItem& root() const { return m_root; }
    MediaItem folder(const QString& name) const { return existing(child(m_root, name), name); }
    MediaItem file(const QString& name) const {
        return existing(child(folder(name.left(1).toUpper()), name + ".wav"), name);
    }

    void add(const QString& relative, const QByteArray& bytes = "data") const {
        testsupport::writeFile(path(relative), bytes);
    }
    void remove(const QString& relative) const {
        const QFileInfo info(path(relative));
        info.isDir() && !info.isSymLink() ? void(QDir(path(relative)).removeRecursively())
                                          : void(QFile::remove(path(relative)));
    }

private:
    static MediaItem existing(const std::optional<MediaItem>& item, const QString& name) {
        EXPECT_TRUE(item) << "no " << name.toStdString();
        return item.value_or(MediaItem());
    }

    QTemporaryDir m_dir;
    QString m_path;
    MediaItem m_root;
};

} // namespace vmtest
