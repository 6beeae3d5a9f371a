#pragma once

#include "library/mediaitem.h"

#include <QStringList>
#include <QTemporaryDir>
#include <optional>

namespace vmtest {

// A media folder on disk, ".../Music" in a temporary directory (its canonical
// path, so ids built here match the scanner's). Built empty, or with the
// folders F (f1-f3), G (g1-g3), H (h1-h2) and X (x1-x2) of WAV files of
// `framesPerFile` frames, whose item tree root() returns.
class TestLibrary {
public:
    TestLibrary();
    explicit TestLibrary(int framesPerFile, int sampleRate = 44100);

    QString path(const QString& relative = {}) const;
    QUrl rootUrl() const { return QUrl::fromLocalFile(path()); }
    QString id(const QString& relative = {}) const;
    const MediaItem& root() const { return m_root; }
    MediaItem folder(const QString& name) const;
    MediaItem file(const QString& name) const;
    QList<MediaItem> files(const QStringList& names) const;

    // Builders by relative path; the folders on the way are made too.
    void add(const QString& relative, const QByteArray& bytes = "data") const;
    void addFolder(const QString& relative) const;
    void link(const QString& target, const QString& relative) const;
    void remove(const QString& relative) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    MediaItem m_root;
};

// Names without extension.
QStringList names(const QList<MediaItem>& items);
// A folder's children's full names in stored order.
QStringList childNames(const MediaItem& folder);
std::optional<MediaItem> child(const MediaItem& folder, const QString& name);
// Names in the order the file system lists them (hidden names left out).
QStringList listingOrder(const QString& folderPath);

} // namespace vmtest
