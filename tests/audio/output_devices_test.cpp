// Moving playback to another output of a real sound server (a private
// PulseAudio with two silent outputs) while a queue plays on the engine.
#include "audio/audiooutput.h"
#include "audio/audiooutputdevices.h"
#include "engine_audio.h"
#include "support/testsupport.h"

#include <QProcess>

using namespace enginetest;
using testsupport::waitUntil;

namespace {

// Each look at the server runs pactl, which is slow on a busy machine.
constexpr int Slow = 15000;

bool pactl(const QStringList& arguments, QByteArray* output = nullptr) {
    return testsupport::runProgram("pactl", arguments, output) == 0;
}

// The server's name of the output that plays our one stream.
QByteArray streamOutput() {
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

class OutputSwitchRealtime : public EngineFixture {
protected:
    // A sound server of our own in the test's folder, reached through PULSE_SERVER.
    void TearDown() override {
        server.kill();
        server.waitForFinished();
        qunsetenv("PULSE_SERVER");
        EngineFixture::TearDown();
    }
    QProcess server;
};

} // namespace

TEST_F(OutputSwitchRealtime, MovesPlaybackKeepingThePlayerAndItsQueue) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("XDG_RUNTIME_DIR", dir.path());
    server.setProcessEnvironment(env);
    server.start("pulseaudio",
                 {"--daemonize=no", "--exit-idle-time=-1", "-n",
                  "--load=module-null-sink sink_name=first",
                  "--load=module-null-sink sink_name=second",
                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" + path("native")});
    if (!server.waitForStarted())
        GTEST_SKIP() << "pulseaudio is not installed";
    qputenv("PULSE_SERVER", ("unix:" + path("native")).toUtf8());
    ASSERT_TRUE(waitUntil([&] { return pactl({"info"}); }, Slow));
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
    auto playsOn = [&] {
        const double from = queue->currentTime();
        return waitUntil([&] { return queue->currentTime() > from + 0.3; }, Slow);
    };
    queue->play();
    ASSERT_TRUE(playsOn());
    ASSERT_EQ(streamOutput(), "first");

    ASSERT_TRUE(devices.choose("second"));
    EXPECT_EQ(devices.currentDevice(), "second");
    ASSERT_TRUE(waitUntil([] { return streamOutput() == "second"; }, Slow));
    EXPECT_TRUE(playsOn());
    EXPECT_EQ(queue->items(), items);

    // An output plugged in appears; the chosen one unplugged disappears and
    // the sound goes on elsewhere.
    ASSERT_TRUE(pactl({"load-module", "module-null-sink", "sink_name=third"}));
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 3; }, Slow));
    QByteArray modules;
    ASSERT_TRUE(pactl({"list", "short", "modules"}, &modules));
    for (const QByteArray& line : modules.split('\n')) {
        if (line.contains("sink_name=second"))
            ASSERT_TRUE(pactl({"unload-module", line.split('\t')[0]}));
    }
    ASSERT_TRUE(waitUntil([&] { return devices.devices().size() == 2; }, Slow));
    ASSERT_TRUE(waitUntil(
        [&] { return !devices.currentDevice().isEmpty() && devices.currentDevice() != "second"; },
        Slow));
    EXPECT_TRUE(playsOn());
    EXPECT_EQ(queue->items(), items);
}
