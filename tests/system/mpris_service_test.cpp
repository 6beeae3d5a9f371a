// The MPRIS service seen by a client on a private bus.
#include "system/mprisservice.h"
#include "support/testsupport.h"
#include "system_privatebus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <gtest/gtest.h>
#include <limits>

using namespace systemtest;
using testsupport::waitUntil;

namespace {

const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

NowPlayingInfo record(const QString& title = QStringLiteral("Song")) {
    NowPlayingInfo info;
    info.url = QUrl::fromLocalFile(QStringLiteral("/music/A B/song.mp3"));
    info.title = title;
    info.artist = QStringLiteral("Unknown Artist");
    info.durationSeconds = 60.5;
    return info;
}

// What the handlers were asked to do.
struct Calls {
    int play = 0, pause = 0, toggle = 0, next = 0, previous = 0;
    QList<double> positions;
    QList<double> volumes;
    QList<QUrl> opened;
};

class MprisServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning()) << "dbus-daemon did not start";
        serviceBus = bus.connect(QStringLiteral("player"));
        clientBus = bus.connect(QStringLiteral("client"));
        service = std::make_unique<MprisService>(serviceBus);
        RemoteCommands commands;
        commands.play = [this] { ++calls.play; };
        commands.pause = [this] { ++calls.pause; };
        commands.togglePlayPause = [this] { ++calls.toggle; };
        commands.nextTrack = [this] { ++calls.next; };
        commands.previousTrack = [this] { ++calls.previous; };
        commands.changePlaybackPosition = [this](double seconds) {
            calls.positions.append(seconds);
            return positionAccepted;
        };
        commands.setVolume = [this](double volume) { calls.volumes.append(volume); };
        commands.openUrl = [this](const QUrl& url, QString* error) {
            if (url.fileName() != QLatin1String("known.mp3")) {
                *error = QStringLiteral("Not in the library");
                return false;
            }
            calls.opened.append(url);
            return true;
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
        return callAndWait(clientBus, message);
    }
    QVariant property(const QString& name, const QString& interface = playerInterface) {
        return getProperty(clientBus, MprisService::serviceName, interface, name);
    }
    QDBusMessage setProperty(const QString& name, const QVariant& value) {
        return call(QStringLiteral("Set"),
                    {playerInterface, name, QVariant::fromValue(QDBusVariant(value))},
                    QStringLiteral("org.freedesktop.DBus.Properties"));
    }
    // Lets signals in flight arrive.
    void settle() {
        property(QStringLiteral("PlaybackStatus"));
        waitUntil([] { return false; }, 50);
    }

    PrivateBus bus;
    QDBusConnection serviceBus{QString()};
    QDBusConnection clientBus{QString()};
    std::unique_ptr<MprisService> service;
    Calls calls;
    double position = 0;
    bool positionAccepted = true;
};

TEST_F(MprisServiceTest, OwnsTheWellKnownNameAndIdentifiesItself) {
    EXPECT_EQ(service->publishedName(), MprisService::serviceName);
    EXPECT_TRUE(clientBus.interface()->isServiceRegistered(MprisService::serviceName));
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    EXPECT_EQ(property(QStringLiteral("Identity"), root).toString(), QStringLiteral("Tolvane"));
    EXPECT_TRUE(property(QStringLiteral("CanQuit"), root).toBool());
    EXPECT_FALSE(property(QStringLiteral("HasTrackList"), root).toBool());
    EXPECT_EQ(property(QStringLiteral("SupportedUriSchemes"), root).toStringList(),
              QStringList{QStringLiteral("file")});
    for (const char* name :
         {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek", "CanControl"})
        EXPECT_TRUE(property(QString::fromLatin1(name)).toBool()) << name;
}

TEST_F(MprisServiceTest, ASecondPlayerTakesAnInstanceNameOfItsOwn) {
    QDBusConnection otherBus = bus.connect(QStringLiteral("second"));
    MprisService second(otherBus);
    ASSERT_TRUE(second.publish());
    EXPECT_TRUE(second.publishedName().startsWith(MprisService::serviceName + ".instance"))
        << second.publishedName().toStdString();
    EXPECT_EQ(service->publishedName(), MprisService::serviceName);
}

TEST_F(MprisServiceTest, WithoutABusNothingIsPublishedAndTheRecordStillHolds) {
    MprisService offline(QDBusConnection(QStringLiteral("never-connected")));
    EXPECT_FALSE(offline.publish());
    offline.setNowPlaying(record(), NowPlayingState::Paused);
    EXPECT_EQ(offline.playbackStatus(), QStringLiteral("Paused"));
    EXPECT_EQ(offline.metadata().value("xesam:title").toString(), QStringLiteral("Song"));
}

TEST_F(MprisServiceTest, NothingLoadedIsStoppedWithEmptyMetadata) {
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    EXPECT_TRUE(asMap(property(QStringLiteral("Metadata"))).isEmpty());
    EXPECT_EQ(property(QStringLiteral("Position")).toLongLong(), 0);
}

TEST_F(MprisServiceTest, MetadataCarriesTheRecord) {
    position = 12.25;
    service->setNowPlaying(record(), NowPlayingState::Playing);
    const QVariantMap metadata = asMap(property(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value("xesam:title").toString(), QStringLiteral("Song"));
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(),
              QStringList{QStringLiteral("Unknown Artist")});
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 60500000);
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>(),
              MprisService::trackId(record().url));
    EXPECT_EQ(metadata.value("xesam:url").toString(),
              QStringLiteral("file:///music/A%20B/song.mp3"));
    EXPECT_FALSE(metadata.contains("mpris:artUrl"));
    EXPECT_EQ(property(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    EXPECT_EQ(property(QStringLiteral("Position")).toLongLong(), 12250000);
}

TEST_F(MprisServiceTest, ArtworkFileAndUnknownLengthShowAsSuch) {
    NowPlayingInfo info = record();
    info.durationSeconds = 0;
    info.artworkFile = QStringLiteral("/cache/Artwork/-42.data");
    service->setNowPlaying(info, NowPlayingState::Paused);
    const QVariantMap metadata = asMap(property(QStringLiteral("Metadata")));
    EXPECT_EQ(metadata.value("mpris:artUrl").toString(),
              QStringLiteral("file:///cache/Artwork/-42.data"));
    EXPECT_FALSE(metadata.contains("mpris:length"));
}

TEST_F(MprisServiceTest, TrackIdsAreValidPathsThatTellFilesApart) {
    const QDBusObjectPath a = MprisService::trackId(QUrl::fromLocalFile("/m/ä ö/1.mp3"));
    const QDBusObjectPath b = MprisService::trackId(QUrl::fromLocalFile("/m/ä ö/2.mp3"));
    EXPECT_FALSE(a.path().isEmpty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a, MprisService::trackId(QUrl::fromLocalFile("/m/ä ö/1.mp3")));
    EXPECT_FALSE(a.path().startsWith(QStringLiteral("/org/mpris")));
}

TEST_F(MprisServiceTest, ClientsHearOnlyWhatChanged) {
    SignalRecorder recorder(clientBus, MprisService::objectPath);
    settle();
    service->setNowPlaying(record(), NowPlayingState::Paused);
    settle();
    ASSERT_EQ(recorder.changes.size(), 1);
    EXPECT_EQ(recorder.changes[0].keys(),
              (QStringList{QStringLiteral("Metadata"), QStringLiteral("PlaybackStatus")}));

    // The same record again tells nothing; a new title tells only the metadata.
    service->setNowPlaying(record(), NowPlayingState::Paused);
    service->setNowPlaying(record(QStringLiteral("Tagged")), NowPlayingState::Paused);
    settle();
    ASSERT_EQ(recorder.changes.size(), 2);
    EXPECT_EQ(recorder.changes[1].keys(), QStringList{QStringLiteral("Metadata")});
    EXPECT_EQ(asMap(recorder.changes[1].value("Metadata")).value("xesam:title").toString(),
              QStringLiteral("Tagged"));

    service->setVolume(0.25);
    service->setNowPlaying(std::nullopt, NowPlayingState::Stopped);
    settle();
    ASSERT_EQ(recorder.changes.size(), 4);
    EXPECT_EQ(recorder.changes[2].value("Volume").toDouble(), 0.25);
    EXPECT_EQ(recorder.changes[3].value("PlaybackStatus").toString(), QStringLiteral("Stopped"));
    EXPECT_TRUE(asMap(recorder.changes[3].value("Metadata")).isEmpty());
}

TEST_F(MprisServiceTest, TransportCommandsReachTheirHandlers) {
    for (const char* method :
         {"Play", "Pause", "PlayPause", "PlayPause", "Next", "Previous", "Stop"})
        EXPECT_EQ(call(QString::fromLatin1(method)).type(), QDBusMessage::ReplyMessage) << method;
    EXPECT_EQ(calls.play, 1);
    EXPECT_EQ(calls.pause, 2);
    EXPECT_EQ(calls.toggle, 2);
    EXPECT_EQ(calls.next, 1);
    EXPECT_EQ(calls.previous, 1);
}

TEST_F(MprisServiceTest, CommandsWithoutHandlersStillSucceed) {
    service->setCommands({});
    service->setNowPlaying(record(), NowPlayingState::Paused);
    for (const char* method : {"Play", "Pause", "PlayPause", "Next", "Previous"})
        EXPECT_EQ(call(QString::fromLatin1(method)).type(), QDBusMessage::ReplyMessage) << method;
    EXPECT_EQ(call(QStringLiteral("Seek"), {qlonglong(1000000)}).type(),
              QDBusMessage::ReplyMessage);
}

TEST_F(MprisServiceTest, SetPositionSeeksTheCurrentTrackOnly) {
    service->setNowPlaying(record(), NowPlayingState::Playing);
    const auto current = QVariant::fromValue(MprisService::trackId(record().url));
    EXPECT_EQ(call(QStringLiteral("SetPosition"), {current, qlonglong(42000000)}).type(),
              QDBusMessage::ReplyMessage);
    // Another track, a negative position and one past the end are ignored.
    const auto other =
        QVariant::fromValue(MprisService::trackId(QUrl::fromLocalFile(QStringLiteral("/x.mp3"))));
    call(QStringLiteral("SetPosition"), {other, qlonglong(1000000)});
    call(QStringLiteral("SetPosition"), {current, qlonglong(-1)});
    call(QStringLiteral("SetPosition"), {current, qlonglong(61000000)});
    EXPECT_EQ(calls.positions, QList<double>{42.0});
}

TEST_F(MprisServiceTest, SetPositionFailsWhenThePlayerIsGone) {
    service->setNowPlaying(record(), NowPlayingState::Playing);
    positionAccepted = false;
    const QDBusMessage reply =
        call(QStringLiteral("SetPosition"),
             {QVariant::fromValue(MprisService::trackId(record().url)), qlonglong(42000000)});
    EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
}

TEST_F(MprisServiceTest, SeekMovesRelativeToThePositionWithinTheTrack) {
    service->setNowPlaying(record(), NowPlayingState::Playing);
    position = 10;
    call(QStringLiteral("Seek"), {qlonglong(5000000)});
    call(QStringLiteral("Seek"), {qlonglong(-20000000)});
    EXPECT_EQ(calls.positions, (QList<double>{15.0, 0.0}));
    // Past the end is the next track.
    call(QStringLiteral("Seek"), {qlonglong(60000000)});
    EXPECT_EQ(calls.next, 1);
    EXPECT_EQ(calls.positions.size(), 2);
    // The extremes neither overflow nor wrap around.
    call(QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::max()});
    call(QStringLiteral("Seek"), {std::numeric_limits<qlonglong>::min()});
    EXPECT_EQ(calls.next, 2);
    EXPECT_EQ(calls.positions, (QList<double>{15.0, 0.0, 0.0}));
}

TEST_F(MprisServiceTest, SeekWithNothingLoadedDoesNothing) {
    EXPECT_EQ(call(QStringLiteral("Seek"), {qlonglong(5000000)}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_TRUE(calls.positions.isEmpty());
}

TEST_F(MprisServiceTest, VolumeReadsTheModelAndWritesAreClamped) {
    service->setVolume(0.5);
    EXPECT_EQ(property(QStringLiteral("Volume")).toDouble(), 0.5);
    EXPECT_EQ(setProperty(QStringLiteral("Volume"), 0.75).type(), QDBusMessage::ReplyMessage);
    setProperty(QStringLiteral("Volume"), 1.5);
    setProperty(QStringLiteral("Volume"), -0.5);
    setProperty(QStringLiteral("Volume"), std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(calls.volumes, (QList<double>{0.75, 1.0, 0.0}));
    // The service reports the model's volume, not the request.
    EXPECT_EQ(property(QStringLiteral("Volume")).toDouble(), 0.5);
}

TEST_F(MprisServiceTest, ARateOfZeroPauses) {
    EXPECT_EQ(property(QStringLiteral("Rate")).toDouble(), 1.0);
    setProperty(QStringLiteral("Rate"), 0.0);
    setProperty(QStringLiteral("Rate"), 1.0);
    EXPECT_EQ(calls.pause, 1);
}

TEST_F(MprisServiceTest, OpenUriAcceptsWhatTheHandlerAcceptsAndRefusesTheRest) {
    EXPECT_EQ(call(QStringLiteral("OpenUri"), {QStringLiteral("file:///m/known.mp3")}).type(),
              QDBusMessage::ReplyMessage);
    const QDBusMessage refused =
        call(QStringLiteral("OpenUri"), {QStringLiteral("file:///m/other.mp3")});
    EXPECT_EQ(refused.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(refused.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
    EXPECT_EQ(refused.errorMessage(), QStringLiteral("Not in the library"));
    EXPECT_EQ(calls.opened, QList<QUrl>{QUrl(QStringLiteral("file:///m/known.mp3"))});
}

TEST_F(MprisServiceTest, SeekedCarriesMicroseconds) {
    SignalRecorder recorder(clientBus, MprisService::objectPath);
    settle();
    service->notifySeeked(42.5);
    settle();
    EXPECT_EQ(recorder.seeks, QList<qlonglong>{42500000});
}

TEST_F(MprisServiceTest, TheNameIsGivenBackWhenTheServiceGoes) {
    service.reset();
    EXPECT_FALSE(clientBus.interface()->isServiceRegistered(MprisService::serviceName));
}

} // namespace
