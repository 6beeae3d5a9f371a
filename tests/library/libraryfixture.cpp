#include "libraryfixture.h"

#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <dirent.h>
#include <gtest/gtest.h>

TemporaryLibrary::TemporaryLibrary() {
    // Canonical, so that ids built here match what the scanner builds.
    m_root = QFileInfo(m_dir.path()).canonicalFilePath() + QStringLiteral("/Music");
    QDir().mkpath(m_root);
}

QString TemporaryLibrary::id(const QString& relative) const {
    return absoluteString(QUrl::fromLocalFile(relative.isEmpty() ? m_root : path(relative)));
}

void TemporaryLibrary::file(const QString& relative) const {
    testsupport::writeFile(path(relative), QByteArray("data"));
}

void TemporaryLibrary::folder(const QString& relative) const {
    QDir().mkpath(path(relative));
}

void TemporaryLibrary::symlink(const QString& target, const QString& relative) const {
    ASSERT_TRUE(QFile::link(target, path(relative))) << relative.toStdString();
}

void TemporaryLibrary::remove(const QString& relative) const {
    const QFileInfo info(path(relative));
    if (info.isDir() && !info.isSymLink())
        QDir(path(relative)).removeRecursively();
    else
        QFile::remove(path(relative));
}

QStringList childNames(const MediaItem& folder) {
    QStringList names;
    if (folder.children) {
        for (const MediaItem& item : *folder.children)
            names.append(item.name());
    }
    return names;
}

std::optional<MediaItem> child(const MediaItem& folder, const QString& name) {
    if (folder.children) {
        for (const MediaItem& item : *folder.children) {
            if (item.name() == name)
                return item;
        }
    }
    return std::nullopt;
}

QStringList listingOrder(const QString& folderPath) {
    QStringList names;
    DIR* dir = opendir(QFile::encodeName(folderPath).constData());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.append(QFile::decodeName(entry->d_name));
    }
    closedir(dir);
    return names;
}
