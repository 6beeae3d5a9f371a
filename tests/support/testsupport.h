#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>

namespace testsupport {

// Own HOME and XDG folders, in memory where possible (cache files are synced).
inline void isolateUserDirectories() {
    static QTemporaryDir home((QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                   ? QStringLiteral("/dev/shm")
                                   : QDir::tempPath()) +
                              QStringLiteral("/tolvane-test-XXXXXX"));
    qputenv("HOME", home.path().toUtf8());
    for (const auto& [variable, name] : {std::pair{"XDG_DATA_HOME", "data"},
                                         {"XDG_CONFIG_HOME", "config"},
                                         {"XDG_CACHE_HOME", "cache"},
                                         {"XDG_RUNTIME_DIR", "runtime"}}) {
        QDir().mkpath(home.filePath(name));
        qputenv(variable, home.filePath(name).toUtf8());
    }
    QFile::setPermissions(home.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const auto& [variable, value] :
         {std::pair{"QT_QPA_PLATFORM", "offscreen"}, {"TOLVANE_AUDIO_OUTPUT", "null"}})
        if (qEnvironmentVariableIsEmpty(variable))
            qputenv(variable, value);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

inline QStringList capturedLines(const std::function<void()>& body) {
    fflush(stdout);
    ::testing::internal::CaptureStdout();
    body();
    fflush(stdout);
    return QString::fromStdString(::testing::internal::GetCapturedStdout())
        .split('\n', Qt::SkipEmptyParts);
}

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    for (QDeadlineTimer deadline(timeoutMs); !done(); QThread::msleep(1)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline int runProgram(const QString& program, const QStringList& arguments,
                      QByteArray* output = nullptr) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) // or did not start; the destructor kills it
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace testsupport

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
