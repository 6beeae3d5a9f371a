#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test process gets its own user directories, so tests never touch a
// user's files and each starts with empty settings and an empty cache.
int main(int argc, char** argv) {
    // In memory where possible: cache and settings files are synced to disk on
    // every write, which would make the tests wait on the disk.
    static QTemporaryDir home(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                  ? QStringLiteral("/dev/shm/tolvane-test-XXXXXX")
                                  : QDir::tempPath() + QStringLiteral("/tolvane-test-XXXXXX"));
    const QByteArray root = home.path().toUtf8();
    for (const char* name : {"data", "config", "cache", "runtime"})
        QDir().mkpath(home.path() + QLatin1Char('/') + QLatin1String(name));
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TOLVANE_AUDIO_OUTPUT"))
        qputenv("TOLVANE_AUDIO_OUTPUT", "null");

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
