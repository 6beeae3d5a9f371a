#include "system_privatebus.h"

#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDBusPendingCall>
#include <QFile>
#include <QTemporaryFile>
#include <QUuid>

namespace systemtest {

namespace {

// The first line a started process prints, or "" when it prints none.
QString firstLine(QProcess& process) {
    while (!process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

} // namespace

PrivateBus::~PrivateBus() {
    for (const QString& name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
}

const QString& PrivateBus::address() {
    static const QString started = [] {
        static QProcess* daemon = new QProcess;
        qAddPostRoutine([] {
            daemon->terminate();
            daemon->waitForFinished(3000);
            delete daemon;
        });
        daemon->start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        return firstLine(*daemon);
    }();
    return started;
}

QDBusConnection PrivateBus::connect(const QString& name) {
    m_connections.append(name + '-' + QUuid::createUuid().toString(QUuid::Id128));
    return QDBusConnection::connectToBus(address(), m_connections.last());
}

FakeInhibitService::FakeInhibitService(const QStringList& services) {
    QTemporaryFile log;
    log.setAutoRemove(false);
    log.open();
    m_logPath = log.fileName();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", PrivateBus::address());
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("/usr/bin/python3",
                    QStringList{TOLVANE_SOURCE_DIR "/tests/support/sleep_fake_inhibit_service.py",
                                "--log", m_logPath} +
                        services);
    m_ready = firstLine(m_process) == "ready";
}

FakeInhibitService::~FakeInhibitService() {
    m_process.terminate();
    m_process.waitForFinished(3000);
    QFile::remove(m_logPath);
}

QStringList FakeInhibitService::log() const {
    return QString::fromUtf8(testsupport::readFile(m_logPath)).split('\n', Qt::SkipEmptyParts);
}

bool FakeInhibitService::waitForLines(int count) const {
    return testsupport::waitUntil([&] { return log().size() >= count; });
}

QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call) {
    QDBusPendingCall pending = bus.asyncCall(call, 5000);
    testsupport::waitUntil([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
}

SignalRecorder::SignalRecorder(QDBusConnection& bus, const QString& path) {
    bus.connect(QString(), path, "org.freedesktop.DBus.Properties", "PropertiesChanged", this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    bus.connect(QString(), path, "org.mpris.MediaPlayer2.Player", "Seeked", this,
                SLOT(seeked(qlonglong)));
}

void SignalRecorder::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                       const QStringList&) {
    if (interface == QLatin1String("org.mpris.MediaPlayer2.Player"))
        changes.append(changed);
}

} // namespace systemtest
