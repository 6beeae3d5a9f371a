// The real program on the benchmarks' library of 100,000 audio files in 10,000
// folders, under an X server and a message bus of its own: once the library is
// cached, a start shows the window and answers over D-Bus within a generous
// bound (bench_sidebar measures the target, window_ready_ms).
#include "../../bench/benchlibrary.h"
#include "support/testsupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

constexpr int boundMs = 30000;

// Starts a server that prints where to reach it on its first line.
QString startServer(QProcess& server, const QString& program, const QStringList& arguments) {
    server.start(program, arguments);
    return server.waitForReadyRead(10000) ? QString::fromUtf8(server.readLine()).trimmed() : "";
}

TEST(LargeLibrary, CachedLibraryShowsTheWindowAndAnswers) {
    generateLibrary(libraryRoot());
    QTemporaryDir home;
    QProcess xServer, bus, program;
    const QString display = startServer(
        xServer, "Xvfb", {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    const QString busAddress =
        startServer(bus, "dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    const auto stop = qScopeGuard([&] {
        for (QProcess* process : {&program, &bus, &xServer}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    });
    ASSERT_FALSE(display.isEmpty() || busAddress.isEmpty()) << "no X server or message bus";
    QDir().mkpath(home.filePath("run"));
    QFile::setPermissions(home.filePath("run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& setting :
         {"HOME=" + home.path(), "XDG_DATA_HOME=" + home.filePath("data"),
          "XDG_CONFIG_HOME=" + home.filePath("config"), "XDG_RUNTIME_DIR=" + home.filePath("run"),
          "DISPLAY=:" + display, "DBUS_SESSION_BUS_ADDRESS=" + busAddress,
          QString("QT_QPA_PLATFORM=xcb"), QString("TOLVANE_AUDIO_OUTPUT=null"),
          QString("TOLVANE_REPORT_FIRST_FRAME=1")})
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    program.setProcessEnvironment(environment);
    QByteArray output;
    const auto callPlayer = [&](const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.mpris.MediaPlayer2.tolvane", "/org/mpris/MediaPlayer2",
            method == "Get" ? "org.freedesktop.DBus.Properties" : "org.mpris.MediaPlayer2", method);
        call.setArguments(arguments);
        return QDBusConnection::connectToBus(busAddress, "large-library-test").call(call);
    };
    // Quits the way a desktop would, and waits for it.
    const auto quit = [&] {
        callPlayer("Quit");
        return program.waitForFinished(20000) && program.exitStatus() == QProcess::NormalExit &&
               program.exitCode() == 0;
    };

    // The first start opens the folder, scans it and caches its tree.
    program.start(TOLVANE_BINARY_DIR "/tolvane", {libraryRoot()});
    const QString trees = home.filePath("data/OrrisMediaPlayer/LibraryStructure");
    const auto cached = [&] { return QDirIterator(trees, {"*_library.json"}).hasNext(); };
    ASSERT_TRUE(waitUntil(cached, 90000));
    ASSERT_TRUE(quit()) << program.readAll().constData();

    QElapsedTimer sinceStart;
    sinceStart.start();
    program.start(TOLVANE_BINARY_DIR "/tolvane", QStringList());
    ASSERT_TRUE(waitUntil(
        [&] { return (output += program.readAllStandardOutput()).contains("first frame\n"); },
        boundMs))
        << output.constData();
    QDBusMessage identity;
    const auto answered = [&] {
        identity = callPlayer("Get", {"org.mpris.MediaPlayer2", "Identity"});
        return identity.arguments().value(0).value<QDBusVariant>().variant() == "Tolvane";
    };
    ASSERT_TRUE(waitUntil(answered, boundMs - int(sinceStart.elapsed())))
        << identity.errorMessage().toStdString();
    EXPECT_LT(sinceStart.elapsed(), boundMs);
    EXPECT_TRUE(quit()) << output.constData();
}

} // namespace
