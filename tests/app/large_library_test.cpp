// The real program on the benchmarks' library of 100,000 audio files in
// 10,000 folders, under an X server and on a message bus of its own. Once the
// library is cached, a start shows the window and answers over D-Bus within a
// generous bound: this checks that it works at all (a machine busy with other
// builds makes even a start without a library take seconds); bench_sidebar
// measures the target (window_ready_ms).
#include "../../bench/benchlibrary.h"
#include "support/testsupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

constexpr int boundMs = 30000;

// Starts a server that prints where to reach it on its first line.
QString startServer(QProcess& server, const QString& program, const QStringList& arguments) {
    server.start(program, arguments);
    if (!server.waitForReadyRead(10000))
        return {};
    return QString::fromUtf8(server.readLine()).trimmed();
}

class LargeLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        generateLibrary(libraryRoot());
        const QString display =
            startServer(xServer, "Xvfb",
                        {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        busAddress =
            startServer(bus, "dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        ASSERT_FALSE(display.isEmpty()) << "no X server";
        ASSERT_FALSE(busAddress.isEmpty()) << "no message bus";
        QDir().mkpath(home.filePath("run"));
        QFile::setPermissions(home.filePath("run"), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        environment.insert("DISPLAY", ':' + display);
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("TOLVANE_AUDIO_OUTPUT", "null");
        environment.insert("TOLVANE_REPORT_FIRST_FRAME", "1");
    }

    void TearDown() override {
        for (QProcess* process : {&program, &bus, &xServer}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }

    void start(const QStringList& arguments) {
        output.clear();
        program.setProcessEnvironment(environment);
        program.start(TOLVANE_BINARY_DIR "/tolvane", arguments);
    }
    bool showedFirstFrame() {
        output += program.readAllStandardOutput();
        return output.contains("first frame\n");
    }
    QDBusMessage callPlayer(const QString& method, const QVariantList& arguments = {}) {
        const bool properties = method == "Get";
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.mpris.MediaPlayer2.tolvane", "/org/mpris/MediaPlayer2",
            properties ? "org.freedesktop.DBus.Properties" : "org.mpris.MediaPlayer2", method);
        call.setArguments(arguments);
        return QDBusConnection::connectToBus(busAddress, "large-library-test").call(call);
    }
    // Asks the program to quit the way a desktop would, and waits for it.
    bool quit() {
        callPlayer("Quit");
        return program.waitForFinished(20000) && program.exitStatus() == QProcess::NormalExit &&
               program.exitCode() == 0;
    }
    bool hasCachedLibrary() const {
        return QDirIterator(home.filePath("data/OrrisMediaPlayer/LibraryStructure"),
                            {"*_library.json"}, QDir::Files)
            .hasNext();
    }

    QTemporaryDir home;
    QProcess xServer, bus, program;
    QString busAddress;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QByteArray output;
};

TEST_F(LargeLibrary, CachedLibraryShowsTheWindowAndAnswers) {
    // The first start opens the folder, scans it and caches its tree.
    start({libraryRoot()});
    ASSERT_TRUE(waitUntil([&] { return hasCachedLibrary(); }, 90000)) << output.constData();
    ASSERT_TRUE(quit()) << output.constData();

    QElapsedTimer sinceStart;
    sinceStart.start();
    start({});
    ASSERT_TRUE(waitUntil([&] { return showedFirstFrame(); }, boundMs)) << output.constData();
    QDBusMessage identity;
    ASSERT_TRUE(waitUntil(
        [&] {
            identity = callPlayer("Get", {"org.mpris.MediaPlayer2", "Identity"});
            return identity.type() == QDBusMessage::ReplyMessage;
        },
        boundMs - int(sinceStart.elapsed())))
        << identity.errorMessage().toStdString();
    EXPECT_LT(sinceStart.elapsed(), boundMs);
    EXPECT_EQ(identity.arguments().value(0).value<QDBusVariant>().variant().toString(), "Tolvane");
    EXPECT_TRUE(quit()) << output.constData();
}

} // namespace
