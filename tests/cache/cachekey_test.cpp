#include "cache/cachekey.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

TEST(CacheKey, FixedValuesNeverChangeBetweenRuns) {
    // Computed once; if these change, every user's cache files are orphaned.
    EXPECT_EQ(cacheKey(QStringLiteral("file:///music/a.mp3")),
              QStringLiteral("-7298137916810929863"));
    EXPECT_EQ(cacheKey(QString()), QStringLiteral("-3750763034362895579"));
}

TEST(CacheKey, NegativeHashesAreWrittenWithAMinusSign) {
    int negatives = 0;
    for (int i = 0; i < 64; ++i) {
        const QString key = cacheKey(QStringLiteral("file:///music/%1.flac").arg(i));
        bool ok = false;
        const qint64 value = key.toLongLong(&ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(key, QString::number(value));
        if (value < 0) {
            ++negatives;
            EXPECT_TRUE(key.startsWith('-'));
        }
    }
    EXPECT_GT(negatives, 0);
}

TEST(CacheKey, UrlFormUsesTheAbsoluteString) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/music/R\u00f3s #1.mp3"));
    EXPECT_EQ(cacheKey(url), cacheKey(url.toString(QUrl::FullyEncoded)));
    EXPECT_NE(cacheKey(QUrl("file:///music/A")), cacheKey(QUrl("file:///music/A/")));
}

TEST(CacheKey, SameInAChildProcess) {
    // A second process (fresh hash seeds, fresh everything) must agree.
    if (qEnvironmentVariableIsSet("TOLVANE_CACHEKEY_CHILD")) {
        printf("KEY=%s\n", qPrintable(cacheKey(QStringLiteral("file:///x/%C3%A9.m4a"))));
        return;
    }
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TOLVANE_CACHEKEY_CHILD", "1");
    env.insert("QT_HASH_SEED", "12345");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=CacheKey.SameInAChildProcess"});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_TRUE(output.contains("KEY=" + cacheKey(QStringLiteral("file:///x/%C3%A9.m4a"))))
        << output.toStdString();
}

} // namespace
