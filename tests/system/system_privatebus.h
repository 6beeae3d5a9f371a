#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

namespace systemtest {

// The message bus of this test program (one dbus-daemon of its own, started
// on first use and ended with the application), so that nothing depends on
// the desktop's session bus. Connections made through an instance close when
// it goes.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    bool isRunning() const { return !address().isEmpty(); }
    static const QString& address();
    // A new connection to the bus under a name of its own.
    QDBusConnection connect(const QString& name);

private:
    QStringList m_connections;
};

// The fake sleep-inhibition services (sleep_fake_inhibit_service.py) on the
// private bus, with the lines it logged.
class FakeInhibitService {
public:
    // `services`: any of "--portal", "--screensaver", "--login1".
    explicit FakeInhibitService(const QStringList& services);
    ~FakeInhibitService();

    bool isReady() const { return m_ready; }
    QStringList log() const;
    // Waits until the log holds `count` lines.
    bool waitForLines(int count) const;

private:
    QProcess m_process;
    QString m_logPath;
    bool m_ready = false;
};

// Sends a call and runs the event loop until its answer is in, so that
// services living on this thread can answer it.
QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call);
// Records PropertiesChanged and Seeked signals.
class SignalRecorder : public QObject {
    Q_OBJECT

public:
    SignalRecorder(QDBusConnection& bus, const QString& path);

    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);
    void seeked(qlonglong position);
};

} // namespace systemtest
