#pragma once

#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QUuid>
#include <QVariantMap>

namespace systemtest {

// The first line a started process prints, or "" when it prints none.
inline QString firstLine(QProcess& process) {
    while (!process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

// A dbus-daemon of this test program's own (started on first use, ended with
// the application), so that nothing depends on the desktop's session bus.
// Connections made through an instance close when it goes.
class PrivateBus {
public:
    PrivateBus() { address(); }
    ~PrivateBus() {
        for (const QString& name : std::as_const(m_connections))
            QDBusConnection::disconnectFromBus(name);
    }
    bool isRunning() const { return !address().isEmpty(); }
    static const QString& address() {
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
    QDBusConnection connect(const QString& name) {
        m_connections.append(name + '-' + QUuid::createUuid().toString(QUuid::Id128));
        return QDBusConnection::connectToBus(address(), m_connections.last());
    }

private:
    QStringList m_connections;
};

// The fake sleep-inhibition services of sleep_fake_inhibit_service.py (any of
// "--portal", "--screensaver", "--login1") on the private bus, and their log.
class FakeInhibitService {
public:
    explicit FakeInhibitService(const QStringList& services) {
        m_log.open();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", PrivateBus::address());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3",
                        QStringList{TOLVANE_SOURCE_DIR
                                    "/tests/support/sleep_fake_inhibit_service.py",
                                    "--log", m_log.fileName()} +
                            services);
        m_ready = firstLine(m_process) == "ready";
    }
    ~FakeInhibitService() {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    bool isReady() const { return m_ready; }
    QStringList log() const {
        return QString::fromUtf8(testsupport::readFile(m_log.fileName()))
            .split('\n', Qt::SkipEmptyParts);
    }
    bool waitForLines(int count) const {
        return testsupport::waitUntil([&] { return log().size() >= count; });
    }

private:
    QTemporaryFile m_log;
    QProcess m_process;
    bool m_ready = false;
};

// Sends a call and runs the event loop until its answer is in, so that
// services living on this thread can answer it.
inline QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call) {
    QDBusPendingCall pending = bus.asyncCall(call, 5000);
    testsupport::waitUntil([&] { return pending.isFinished(); }, 6000);
    return pending.reply();
}

} // namespace systemtest
