#include "cache/cachekey.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// Fixed (else every user's cache is orphaned), in a second process with other hash seeds too.
TEST(CacheKey, FixedValuesInEveryProcess) {
    const QString url = QStringLiteral("file:///music/a.mp3");
    if (qEnvironmentVariableIsSet("TOLVANE_CACHEKEY_CHILD")) {
        printf("KEY=%s\n", qPrintable(cacheKey(url)));
        return;
    }
    EXPECT_EQ(cacheKey(url) + cacheKey(QString()), "-7298137916810929863-3750763034362895579");
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TOLVANE_CACHEKEY_CHILD", "1");
    env.insert("QT_HASH_SEED", "12345");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=CacheKey.FixedValuesInEveryProcess"});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_TRUE(output.contains("KEY=-7298137916810929863\n")) << output.toStdString();
}

} // namespace
