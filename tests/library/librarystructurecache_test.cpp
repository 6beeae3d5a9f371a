#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"
#include "library/libraryscanner.h"
#include "library/librarystructurecache.h"
#include "library/mediaitemjson.h"
#include "libraryfixture.h"
#include "support/testsupport.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::writeFile;

TEST(LibraryStructureCache, FileIsNamedByTheRootsCacheKey) {
    const QUrl root = QUrl::fromLocalFile(QStringLiteral("/music/Library"));
    EXPECT_EQ(LibraryStructureCache::filePath(root),
              MediaCacheManager::shared().cacheDirectory() + QStringLiteral("/LibraryStructure/") +
                  cacheKey(QStringLiteral("file:///music/Library")) +
                  QStringLiteral("_library.json"));
}

TEST(LibraryStructureCache, StoredTreeLoadsBackEqualInEveryField) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    library.file(QStringLiteral("A/cover.jpg"));
    library.file(QStringLiteral("b.flac"));
    const MediaItem tree = scanDirectory(library.rootUrl());
    const QString path = LibraryStructureCache::filePath(library.rootUrl());

    LibraryStructureCache::store(path, tree);
    AtomicFileWriter::shared().waitForIdle();

    EXPECT_EQ(readFile(path), encodeMediaItem(tree));
    const std::optional<MediaItem> loaded = LibraryStructureCache::load(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(encodeMediaItem(*loaded), encodeMediaItem(tree));
}

TEST(LibraryStructureCache, DamagedFilesCountAsNoCache) {
    TemporaryLibrary library;
    library.file(QStringLiteral("A/01.mp3"));
    const QByteArray good = encodeMediaItem(scanDirectory(library.rootUrl()));
    const QString path = library.path(QStringLiteral("cache.json"));

    EXPECT_FALSE(LibraryStructureCache::load(library.path(QStringLiteral("missing.json"))));
    for (const QByteArray& bytes :
         {QByteArray(), good.left(good.size() / 2), QByteArray("garbage\xff\x00", 9),
          QByteArray("[]"), QByteArray(R"({"url":"file:///x","isDirectory":true})"),
          // A file node is no library root.
          QByteArray(R"({"url":"file:///x.mp3","isDirectory":false,"containsAudio":true})")}) {
        writeFile(path, bytes);
        EXPECT_FALSE(LibraryStructureCache::load(path).has_value()) << bytes.toStdString();
    }
}
