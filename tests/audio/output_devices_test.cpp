// Moving playback to another output of a real sound server (a private
// PulseAudio with two silent outputs) while a queue plays on the engine.
#include "audio/audiooutput.h"
#include "audio/audiooutputdevices.h"
#include "support/testsupport.h"
#include "support/viewmodelfixture.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace testsupport;
using namespace vmtest;

namespace {

// A sound server of our own, reached through PULSE_SERVER.
class PrivateSoundServer {
public:
    bool start() {
        const QString run = m_dir.path() + "/run";
        QDir().mkpath(run);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_RUNTIME_DIR", run);
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(
            "pulseaudio",
            {"--daemonize=no", "--exit-idle-time=-1", "-n",
             "--load=module-null-sink sink_name=first", "--load=module-null-sink sink_name=second",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_dir.path() +
                 "/native"});
        if (!m_server.waitForStarted())
            return false;
        qputenv("PULSE_SERVER", ("unix:" + m_dir.path() + "/native").toUtf8());
        return waitUntil([&] { return pactl({"info"}); });
    }
    ~PrivateSoundServer() {
        m_server.kill();
        m_server.waitForFinished();
        qunsetenv("PULSE_SERVER");
    }
    static bool pactl(const QStringList& arguments, QByteArray* output = nullptr) {
        return runProgram("pactl", arguments, output) == 0;
    }
    // The server's name of the output that plays our one stream.
    static QByteArray streamOutput() {
        QByteArray streams, sinks;
        if (!pactl({"list", "short", "sink-inputs"}, &streams) ||
            !pactl({"list", "short", "sinks"}, &sinks))
            return {};
        const QList<QByteArray> stream = streams.trimmed().split('\t');
        for (const QByteArray& line : sinks.trimmed().split('\n')) {
            const QList<QByteArray> sink = line.split('\t');
            if (stream.size() > 1 && sink.size() > 1 && sink[0] == stream[1])
                return sink[1];
        }
        return {};
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

class OutputSwitch : public PlaybackFixture {};

} // namespace

TEST_F(OutputSwitch, MovesPlaybackKeepingQueuePositionAndPlayer) {
    PrivateSoundServer server;
    if (!server.start())
        GTEST_SKIP() << "pulseaudio is not installed";
    library = std::make_unique<TestLibrary>(4 * 8000, 8000); // four seconds each
    makeViewModel(true);
    AudioOutput::shared().configure("device");
    AudioOutputDevices devices;
    ASSERT_TRUE(devices.start());
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 2; }));
    EXPECT_EQ(devices.devices()[1].name, "second");

    const QList<MediaItem> queue = library->files({"f1", "f2", "g1"});
    vm->setPlaybackQueue(queue);
    vm->setCurrentQueueIndex(0);
    vm->playItem(queue[0], 0, false);
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > 0.3; }));
    ASSERT_EQ(PrivateSoundServer::streamOutput(), "first");
    QueuePlayer* player = vm->player();

    ASSERT_TRUE(devices.choose("second"));
    EXPECT_EQ(devices.currentDevice(), "second");
    ASSERT_TRUE(waitUntil([] { return PrivateSoundServer::streamOutput() == "second"; }));
    const double movedAt = vm->progress()->currentTime();
    EXPECT_GT(movedAt, 0.3);
    ASSERT_TRUE(waitUntil([&] { return vm->progress()->currentTime() > movedAt + 0.3; }));
    EXPECT_EQ(vm->player(), player);
    EXPECT_EQ(vm->playbackQueue(), queue);
    EXPECT_EQ(vm->currentQueueIndex(), 0);
    EXPECT_EQ(names(player->items()), QStringList({"f1", "f2"}));

    // An output plugged in appears; the chosen one unplugged disappears and
    // the sound goes on elsewhere.
    ASSERT_TRUE(PrivateSoundServer::pactl({"load-module", "module-null-sink", "sink_name=third"}));
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 3; }));
    QByteArray modules;
    ASSERT_TRUE(PrivateSoundServer::pactl({"list", "short", "modules"}, &modules));
    for (const QByteArray& line : modules.split('\n')) {
        if (line.contains("sink_name=second"))
            ASSERT_TRUE(PrivateSoundServer::pactl({"unload-module", line.split('\t')[0]}));
    }
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 2; }));
    ASSERT_TRUE(waitUntil(
        [&] { return !devices.currentDevice().isEmpty() && devices.currentDevice() != "second"; }));
    EXPECT_EQ(vm->player(), player);

    vm.reset();
    AudioOutput::shared().configure("null");
}
