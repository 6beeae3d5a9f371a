#include "support/testlibrary.h"

#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <gtest/gtest.h>

namespace vmtest {

TestLibrary::TestLibrary() {
    m_path = QFileInfo(m_dir.path()).canonicalFilePath() + "/Music";
    QDir().mkpath(m_path);
    m_root = MediaItem::folder(m_path);
}

TestLibrary::TestLibrary(int framesPerFile, int sampleRate) : TestLibrary() {
    QList<MediaItem> folders;
    for (const auto& [folder, count] : {std::pair{'F', 3}, {'G', 3}, {'H', 2}, {'X', 2}}) {
        QList<MediaItem> files;
        for (int i = 1; i <= count; ++i) {
            const QString file =
                path(QStringLiteral("%1/%2%3.wav").arg(folder).arg(QChar(folder).toLower()).arg(i));
            testsupport::writeWav(file, framesPerFile, sampleRate);
            files.append(MediaItem::audioFile(file));
        }
        folders.append(MediaItem::folder(path(QString(folder)), files));
    }
    m_root = MediaItem::folder(m_path, folders);
}

QString TestLibrary::path(const QString& relative) const {
    return relative.isEmpty() ? m_path : m_path + '/' + relative;
}

QString TestLibrary::id(const QString& relative) const {
    return absoluteString(QUrl::fromLocalFile(path(relative)));
}

MediaItem TestLibrary::folder(const QString& name) const {
    if (const auto found = child(m_root, name))
        return *found;
    ADD_FAILURE() << "no folder " << name.toStdString();
    return {};
}

MediaItem TestLibrary::file(const QString& name) const {
    const std::optional<MediaItem> found = child(folder(name.left(1).toUpper()), name + ".wav");
    EXPECT_TRUE(found.has_value()) << "no file " << name.toStdString();
    return found.value_or(MediaItem());
}

QList<MediaItem> TestLibrary::files(const QStringList& fileNames) const {
    QList<MediaItem> result;
    for (const QString& name : fileNames)
        result.append(file(name));
    return result;
}

void TestLibrary::add(const QString& relative, const QByteArray& bytes) const {
    testsupport::writeFile(path(relative), bytes);
}

void TestLibrary::addFolder(const QString& relative) const {
    QDir().mkpath(path(relative));
}

void TestLibrary::link(const QString& target, const QString& relative) const {
    ASSERT_TRUE(QFile::link(target, path(relative))) << relative.toStdString();
}

void TestLibrary::remove(const QString& relative) const {
    const QFileInfo info(path(relative));
    if (info.isDir() && !info.isSymLink())
        QDir(path(relative)).removeRecursively();
    else
        QFile::remove(path(relative));
}

QStringList names(const QList<MediaItem>& items) {
    QStringList result;
    for (const MediaItem& item : items)
        result.append(item.name().section('.', 0, 0));
    return result;
}

QStringList childNames(const MediaItem& folder) {
    QStringList result;
    for (const MediaItem& item : folder.children.value_or(QList<MediaItem>()))
        result.append(item.name());
    return result;
}

std::optional<MediaItem> child(const MediaItem& folder, const QString& name) {
    for (const MediaItem& item : folder.children.value_or(QList<MediaItem>())) {
        if (item.name() == name)
            return item;
    }
    return std::nullopt;
}

QStringList listingOrder(const QString& folderPath) {
    QStringList result;
    DIR* dir = opendir(QFile::encodeName(folderPath).constData());
    while (const dirent* entry = dir ? readdir(dir) : nullptr) {
        if (entry->d_name[0] != '.')
            result.append(QFile::decodeName(entry->d_name));
    }
    if (dir)
        closedir(dir);
    return result;
}

} // namespace vmtest
