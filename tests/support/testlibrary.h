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

// Without extension.
inline QStringList names(const QList<MediaItem>& items) {
    QStringList result;
    for (const MediaItem& item : items)
        result.append(item.name().section('.', 0, 0));
    return result;
}

// Names in the order the file system lists them (hidden names left out).
inline QStringList listingOrder(const QString& folderPath) {
    return QDir(folderPath)
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// ".../Music" in a temporary directory (canonical, so ids match the
// scanner's): empty, or with folders F (f1-f3), G (g1-g3), H (h1-h2) and X
// (x1-x2) of WAV files, whose item tree root() returns.
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
    MediaItem folder(const QString& name) const {
        const std::optional<MediaItem> found = child(m_root, name);
        EXPECT_TRUE(found.has_value()) << "no folder " << name.toStdString();
        return found.value_or(MediaItem());
    }
    MediaItem file(const QString& name) const {
        const std::optional<MediaItem> found = child(folder(name.left(1).toUpper()), name + ".wav");
        EXPECT_TRUE(found.has_value()) << "no file " << name.toStdString();
        return found.value_or(MediaItem());
    }

    // Builders by relative path.
    void add(const QString& relative, const QByteArray& bytes = "data") const {
        testsupport::writeFile(path(relative), bytes);
    }
    void remove(const QString& relative) const {
        const QFileInfo info(path(relative));
        info.isDir() && !info.isSymLink() ? void(QDir(path(relative)).removeRecursively())
                                          : void(QFile::remove(path(relative)));
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    MediaItem m_root;
};

} // namespace vmtest
