// The MPRIS service seen by a client on a private bus.
#include "support/testsupport.h"
#include "system/mprisservice.h"
#include "system_privatebus.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <gtest/gtest.h>
#include <limits>

using namespace systemtest;

namespace {

const QString playerInterface = "org.mpris.MediaPlayer2.Player";
using Max = std::numeric_limits<qlonglong>;

NowPlayingInfo record(const QString& title = "Song", double duration = 60.5,
                      const QString& art = "") {
    return {.url = QUrl::fromLocalFile("/music/Ä B/song.mp3"),
            .title = title,
            .artist = "Unknown Artist",
            .durationSeconds = duration,
            .artworkFile = art};
}

class MprisServiceTest : public QObject, public ::testing::Test {
    Q_OBJECT
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning()) << "dbus-daemon did not start";
        service = std::make_unique<MprisService>(bus.connect("player"));
        RemoteCommands commands;
        for (const auto& [handler, name] : {std::pair{&commands.play, "play"},
                                            {&commands.pause, "pause"},
                                            {&commands.togglePlayPause, "toggle"},
                                            {&commands.nextTrack, "next"},
                                            {&commands.previousTrack, "previous"}})
            *handler = [this, name = QString(name)] { calls << name; };
        commands.changePlaybackPosition = [this](double seconds) {
            calls << "at " + QString::number(seconds);
            return positionAccepted;
        };
        commands.setVolume = [this](double volume) {
            calls << "volume " + QString::number(volume);
        };
        commands.openUrl = [this](const QUrl& url, QString* error) {
            calls << url.fileName();
            *error = "Not in the library";
            return url.fileName() == QLatin1String("known.mp3");
        };
        service->setCommands(commands);
        service->setPositionSource([this] { return position; });
        ASSERT_TRUE(service->publish());
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                      const QString& interface = playerInterface) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            MprisService::serviceName, MprisService::objectPath, interface, method);
        message.setArguments(arguments);
        return callAndWait(client, message);
    }
    QVariant property(const QString& name) {
        const QDBusMessage reply =
            call("Get", {playerInterface, name}, "org.freedesktop.DBus.Properties");
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QDBusMessage setProperty(const QString& name, const QVariant& value) {
        return call("Set", {playerInterface, name, QVariant::fromValue(QDBusVariant(value))},
                    "org.freedesktop.DBus.Properties");
    }
    // A round trip to the service: the signals it sent before have arrived.
    QString settle() { return property("PlaybackStatus").toString(); }
    static QVariant track(const QString& path = "/music/Ä B/song.mp3") {
        return QVariant::fromValue(MprisService::trackId(QUrl::fromLocalFile(path)));
    }

    void recordSignals() {
        const QString path = MprisService::objectPath;
        client.connect({}, path, "org.freedesktop.DBus.Properties", "PropertiesChanged", this,
                       SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        client.connect({}, path, playerInterface, "Seeked", this, SLOT(seeked(qlonglong)));
    }
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
    PrivateBus bus;
    QDBusConnection client = bus.connect("client");
    std::unique_ptr<MprisService> service;
    QStringList calls;
    double position = 0;
    bool positionAccepted = true;
protected slots: // the root interface's properties never change
    void propertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) {
        changes.append(changed);
    }
    void seeked(qlonglong position) { seeks.append(position); }
};

// Clients hear only what changed: the same record again tells nothing.
TEST_F(MprisServiceTest, PropertiesShowTheRecordAndClientsHearOnlyWhatChanged) {
    recordSignals();
    EXPECT_EQ(settle(), "Stopped");
    position = 12.25;
    service->setNowPlaying(record(), NowPlayingState::Playing);
    service->setNowPlaying(record(), NowPlayingState::Playing);
    EXPECT_EQ(settle(), "Playing");
    QVariantMap metadata = qdbus_cast<QVariantMap>(property("Metadata"));
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 60500000);
    const auto id = metadata.value("mpris:trackid").value<QDBusObjectPath>();
    EXPECT_TRUE(QVariant::fromValue(id) == track() && QVariant::fromValue(id) != track("/s.mp3"));
    EXPECT_EQ(metadata.value("xesam:url").toString(), "file:///music/%C3%84%20B/song.mp3");
    EXPECT_EQ(property("Position").toLongLong(), 12250000);

    service->setNowPlaying(record("Tagged", 0, "/cache/Artwork/-42.data"),
                           NowPlayingState::Playing);
    service->setVolume(0.25);
    service->setNowPlaying(std::nullopt, NowPlayingState::Stopped);
    service->notifySeeked(42.5);
    settle();
    ASSERT_EQ(changes.size(), 4);
    EXPECT_EQ(changes[0].keys(), (QStringList{"Metadata", "PlaybackStatus"}));
    EXPECT_EQ(changes[1].keys(), QStringList{"Metadata"});
    metadata = qdbus_cast<QVariantMap>(changes[1]["Metadata"]);
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Tagged");
    EXPECT_EQ(metadata.value("mpris:artUrl").toString(), "file:///cache/Artwork/-42.data");
    EXPECT_FALSE(metadata.contains("mpris:length"));
    EXPECT_EQ(changes[2], (QVariantMap{{"Volume", 0.25}}));
    EXPECT_EQ(changes[3].value("PlaybackStatus").toString(), "Stopped");
    EXPECT_EQ(seeks, QList<qlonglong>{42500000});
}

// Stop and rate 0 pause; volume clamped, NaN refused; without handlers all succeed.
TEST_F(MprisServiceTest, CommandsReachTheirHandlersOrSucceedWithout) {
    service->setVolume(0.5);
    for (const double volume : {0.75, 1.5, -0.5, std::numeric_limits<double>::quiet_NaN()})
        setProperty("Volume", volume);
    EXPECT_EQ(property("Volume").toDouble(), 0.5);
    const QDBusMessage refused = call("OpenUri", {"file:///m/other.mp3"});
    EXPECT_EQ(refused.errorName(), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(refused.errorMessage(), "Not in the library");
    EXPECT_EQ(call("OpenUri", {"file:///m/known.mp3"}).type(), QDBusMessage::ReplyMessage);
    for (int round = 0; round < 2; ++round) {
        for (const char* method : {"Play", "Pause", "PlayPause", "Next", "Previous", "Stop"})
            EXPECT_EQ(call(method).type(), QDBusMessage::ReplyMessage) << method;
        setProperty("Rate", 0.0);
        service->setCommands({});
        service->setNowPlaying(record(), NowPlayingState::Paused);
    }
    EXPECT_EQ(call("Seek", {qlonglong(1)}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(calls,
              (QStringList{"volume 0.75", "volume 1", "volume 0", "other.mp3", "known.mp3", "play",
                           "pause", "toggle", "next", "previous", "pause", "pause"}));
}

// SetPosition only within the current track; Seek's extremes neither overflow nor wrap.
TEST_F(MprisServiceTest, SetPositionAndSeekStayWithinTheCurrentTrack) {
    call("SetPosition", {track(), qlonglong(1000000)}); // nothing loaded
    call("Seek", {qlonglong(5000000)});
    service->setNowPlaying(record(), NowPlayingState::Playing);
    for (const auto& [id, at] : {std::pair{track(), qlonglong(42000000)},
                                 {track("/x.mp3"), qlonglong(1000000)},
                                 {track(), qlonglong(-1)},
                                 {track(), qlonglong(61000000)}})
        EXPECT_EQ(call("SetPosition", {id, at}).type(), QDBusMessage::ReplyMessage);
    position = 10;
    for (const qlonglong offset :
         {qlonglong(5000000), qlonglong(-20000000), qlonglong(60000000), Max::max(), Max::min()})
        call("Seek", {offset});
    EXPECT_EQ(calls, (QStringList{"at 42", "at 15", "at 0", "next", "next", "at 0"}));
    positionAccepted = false; // the player is gone
    EXPECT_EQ(call("SetPosition", {track(), qlonglong(1)}).type(), QDBusMessage::ErrorMessage);
}

} // namespace

#include "mpris_service_test.moc"
