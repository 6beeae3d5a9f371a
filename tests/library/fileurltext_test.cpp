#include "library/fileurltext.h"
#include "library/mediaitem.h"

#include <QUrl>
#include <gtest/gtest.h>

namespace {
QString expected(const QString& parentPath, const QString& name) {
    return absoluteString(QUrl::fromLocalFile(parentPath + QLatin1Char('/') + name));
}
} // namespace

TEST(FileUrlText, MatchesQUrlForEveryPrintableAsciiCharacter) {
    const QString parent = QStringLiteral("/music/My Album");
    const QString parentId = absoluteString(QUrl::fromLocalFile(parent));
    for (char16_t c = 0x20; c < 0x7f; ++c) {
        if (c == u'/')
            continue;
        const QString name = QStringLiteral("x") + QChar(c) + QStringLiteral("y");
        EXPECT_EQ(childUrlString(parentId, name), expected(parent, name)) << int(c);
    }
}

TEST(FileUrlText, MatchesQUrlForNamesBeyondAscii) {
    const QString parent = QStringLiteral("/home/ünïcode/Müsic");
    const QString parentId = absoluteString(QUrl::fromLocalFile(parent));
    for (const QString& name :
         {QStringLiteral("Café del Mar.mp3"), QStringLiteral("日本語.flac"),
          QStringLiteral("🎵 emoji.m4a"), QStringLiteral("tab\there"), QStringLiteral("%41.mp3"),
          QStringLiteral("a#b?c[d]e.wav"), QStringLiteral("ends with dot."), QStringLiteral("…")}) {
        EXPECT_EQ(childUrlString(parentId, name), expected(parent, name)) << name.toStdString();
    }
}

TEST(FileUrlText, ChildOfTheFileSystemRootHasOneSeparator) {
    EXPECT_EQ(childUrlString(QStringLiteral("file:///"), QStringLiteral("music")),
              QStringLiteral("file:///music"));
}
