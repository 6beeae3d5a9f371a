// Moving playback to another output of a real sound server (a private
// PulseAudio with two silent outputs) while a queue plays on the engine.
#include "audio/audiooutput.h"
#include "audio/audiooutputdevices.h"
#include "engine_audio.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>

using namespace enginetest;
using testsupport::waitUntil;

namespace {

// Each look at the server runs pactl, which is slow on a busy machine.
constexpr int Slow = 15000;

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
        return waitUntil([&] { return pactl({"info"}); }, Slow);
    }
    ~PrivateSoundServer() {
        m_server.kill();
        m_server.waitForFinished();
        qunsetenv("PULSE_SERVER");
    }
    static bool pactl(const QStringList& arguments, QByteArray* output = nullptr) {
        return testsupport::runProgram("pactl", arguments, output) == 0;
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

class OutputSwitchRealtime : public EngineFixture {};

} // namespace

TEST_F(OutputSwitchRealtime, MovesPlaybackKeepingThePlayerAndItsQueue) {
    PrivateSoundServer server;
    if (!server.start())
        GTEST_SKIP() << "pulseaudio is not installed";
    QStringList files;
    for (const char* name : {"1.wav", "2.wav"}) {
        writePcmWav(path(name), sine(4 * 8000, 8000), 8000); // four seconds
        files << path(name);
    }
    AudioOutput::shared().configure("device");
    AudioOutputDevices devices;
    ASSERT_TRUE(devices.start());
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 2; }, Slow));
    EXPECT_EQ(devices.devices()[1].name, "second");

    std::unique_ptr<QueuePlayer> queue = player(files);
    const QList<PlayerItem*> items = queue->items();
    queue->play();
    ASSERT_TRUE(waitUntil([&] { return queue->currentTime() > 0.3; }, Slow));
    ASSERT_EQ(PrivateSoundServer::streamOutput(), "first");

    ASSERT_TRUE(devices.choose("second"));
    EXPECT_EQ(devices.currentDevice(), "second");
    ASSERT_TRUE(waitUntil([] { return PrivateSoundServer::streamOutput() == "second"; }, Slow));
    const double movedAt = queue->currentTime();
    EXPECT_GT(movedAt, 0.3);
    ASSERT_TRUE(waitUntil([&] { return queue->currentTime() > movedAt + 0.3; }, Slow));
    EXPECT_EQ(queue->items(), items);

    // An output plugged in appears; the chosen one unplugged disappears and
    // the sound goes on elsewhere.
    ASSERT_TRUE(PrivateSoundServer::pactl({"load-module", "module-null-sink", "sink_name=third"}));
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 3; }, Slow));
    QByteArray modules;
    ASSERT_TRUE(PrivateSoundServer::pactl({"list", "short", "modules"}, &modules));
    for (const QByteArray& line : modules.split('\n')) {
        if (line.contains("sink_name=second"))
            ASSERT_TRUE(PrivateSoundServer::pactl({"unload-module", line.split('\t')[0]}));
    }
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 2; }, Slow));
    ASSERT_TRUE(waitUntil(
        [&] { return !devices.currentDevice().isEmpty() && devices.currentDevice() != "second"; },
        Slow));
    const double unpluggedAt = queue->currentTime();
    EXPECT_TRUE(waitUntil([&] { return queue->currentTime() > unpluggedAt + 0.2; }, Slow));
    EXPECT_EQ(queue->items(), items);
}
