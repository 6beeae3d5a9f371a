#pragma once

#include "system/sleepmode.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>
#include <optional>

// One inhibition of sleep, held from construction until release() or
// destruction. Asks the desktop portal (org.freedesktop.portal.Inhibit);
// without a portal, the screen saver (for the display) and logind (for the
// system). The calls are asynchronous so a slow or missing service never
// stalls the GUI thread; an answer that arrives after release is released
// at once. GUI thread only.
class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    // `mode` must not be SleepMode::none.
    SleepInhibitor(SleepMode mode, const QString& reason, QDBusConnection sessionBus,
                   QDBusConnection systemBus, QObject* parent = nullptr);
    ~SleepInhibitor() override;

    void release();
    bool isReleased() const { return m_released; }
    // Every service asked has answered.
    bool isSettled() const { return m_pendingAnswers == 0; }
    // Releases and deletes the inhibitor once no answer is outstanding, so
    // that an inhibition granted late is still given back.
    static void discard(SleepInhibitor* inhibitor);
    SleepMode mode() const { return m_mode; }

    // Portal flags: 4 suspend, 8 idle.
    static unsigned portalFlags(SleepMode mode);
    // logind's "what" of the fallback.
    static QString logindWhat(SleepMode mode);

signals:
    // The last outstanding answer arrived.
    void settled();

private:
    void askPortal();
    void askFallbacks();
    void askScreenSaver();
    void askLogind();
    void answerArrived();
    void releaseHeld();

    SleepMode m_mode;
    QString m_reason;
    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    bool m_released = false;
    int m_pendingAnswers = 0;
    std::optional<QDBusObjectPath> m_portalRequest;
    std::optional<uint> m_screenSaverCookie;
    std::optional<QDBusUnixFileDescriptor> m_logindLock;
};
