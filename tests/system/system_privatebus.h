#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QVariantMap>

namespace systemtest {

// A dbus-daemon of this test program's own (started on first use, ended with
// the application), so that nothing depends on the desktop's session bus.
// Connections made through an instance close when it goes.
class PrivateBus {
public:
    PrivateBus() { address(); }
    ~PrivateBus();
    bool isRunning() const { return !address().isEmpty(); }
    static const QString& address();
    QDBusConnection connect(const QString& name);

private:
    QStringList m_connections;
};

// The fake sleep-inhibition services of sleep_fake_inhibit_service.py (any of
// "--portal", "--screensaver", "--login1") on the private bus, and their log.
class FakeInhibitService {
public:
    explicit FakeInhibitService(const QStringList& services);
    ~FakeInhibitService();
    bool isReady() const { return m_ready; }
    QStringList log() const;
    bool waitForLines(int count) const;

private:
    QProcess m_process;
    QString m_logPath;
    bool m_ready = false;
};

// Sends a call and runs the event loop until its answer is in, so that
// services living on this thread can answer it.
QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call);

// Records the player's PropertiesChanged and Seeked signals.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    SignalRecorder(QDBusConnection& bus, const QString& path);
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;
public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList&);
    void seeked(qlonglong position) { seeks.append(position); }
};

} // namespace systemtest
