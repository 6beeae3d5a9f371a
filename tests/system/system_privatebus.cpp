#include "system_privatebus.h"

#include "support/testsupport.h"

#include <QDBusArgument>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryFile>
#include <QUuid>

namespace systemtest {

PrivateBus::PrivateBus() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(5000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    m_daemon.waitForFinished(3000);
}

QDBusConnection PrivateBus::connect(const QString& name) {
    const QString unique = name + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128);
    m_connections.append(unique);
    return QDBusConnection::connectToBus(m_address, unique);
}

FakeInhibitService::FakeInhibitService(const PrivateBus& bus, const QStringList& services) {
    QTemporaryFile log;
    log.setAutoRemove(false);
    log.open();
    m_logPath = log.fileName();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    QStringList{QStringLiteral(TOLVANE_SOURCE_DIR
                                               "/tests/support/sleep_fake_inhibit_service.py"),
                                QStringLiteral("--log"), m_logPath} +
                        services);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    m_ready = m_process.readLine().trimmed() == "ready";
}

FakeInhibitService::~FakeInhibitService() {
    m_process.terminate();
    m_process.waitForFinished(3000);
    QFile::remove(m_logPath);
}

QStringList FakeInhibitService::log() const {
    QStringList lines = QString::fromUtf8(testsupport::readFile(m_logPath)).split('\n');
    lines.removeAll(QString());
    return lines;
}

bool FakeInhibitService::waitForLines(int count) const {
    return testsupport::waitUntil([&] { return log().size() >= count; });
}

QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call) {
    QDBusPendingCall pending = bus.asyncCall(call, 5000);
    testsupport::waitUntil([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
}

QVariant getProperty(QDBusConnection& bus, const QString& service, const QString& interface,
                     const QString& name) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/mpris/MediaPlayer2"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    const QDBusMessage reply = callAndWait(bus, call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    QVariant value = reply.arguments().first().value<QDBusVariant>().variant();
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value;
}

SignalRecorder::SignalRecorder(QDBusConnection& bus, const QString& path) {
    bus.connect(QString(), path, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(QString(), path, QStringLiteral("org.mpris.MediaPlayer2.Player"),
                QStringLiteral("Seeked"), this, SLOT(seeked(qlonglong)));
}

void SignalRecorder::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                       const QStringList&) {
    if (interface == QLatin1String("org.mpris.MediaPlayer2.Player"))
        changes.append(changed);
}

void SignalRecorder::seeked(qlonglong position) {
    seeks.append(position);
}

} // namespace systemtest
