#include "system/sleepinhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString screenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString screenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString logindService = QStringLiteral("org.freedesktop.login1");
const QString applicationName = QStringLiteral("Tolvane");

} // namespace

SleepInhibitor::SleepInhibitor(SleepMode mode, const QString& reason, QDBusConnection sessionBus,
                               QDBusConnection systemBus, QObject* parent)
    : QObject(parent), m_mode(mode), m_reason(reason), m_sessionBus(std::move(sessionBus)),
      m_systemBus(std::move(systemBus)) {
    askPortal();
}

SleepInhibitor::~SleepInhibitor() {
    release();
}

unsigned SleepInhibitor::portalFlags(SleepMode mode) {
    constexpr unsigned suspend = 4, idle = 8;
    return mode == SleepMode::displayAndSystem ? suspend | idle : suspend;
}

QString SleepInhibitor::logindWhat(SleepMode mode) {
    return mode == SleepMode::displayAndSystem ? QStringLiteral("idle:sleep")
                                               : QStringLiteral("sleep");
}

void SleepInhibitor::release() {
    if (m_released)
        return;
    m_released = true;
    releaseHeld();
}

void SleepInhibitor::discard(SleepInhibitor* inhibitor) {
    inhibitor->release();
    if (inhibitor->isSettled())
        delete inhibitor;
    else
        connect(inhibitor, &SleepInhibitor::settled, inhibitor, &QObject::deleteLater);
}

void SleepInhibitor::askPortal() {
    if (!m_sessionBus.isConnected()) {
        askFallbacks();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        portalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    call << QString() << portalFlags(m_mode) << QVariantMap{{QStringLiteral("reason"), m_reason}};
    ++m_pendingAnswers;
    auto* watcher = new QDBusPendingCallWatcher(m_sessionBus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isValid()) {
            m_portalRequest = reply.value();
            if (m_released)
                releaseHeld();
        } else {
            askFallbacks();
        }
        answerArrived();
    });
}

void SleepInhibitor::askFallbacks() {
    if (m_mode == SleepMode::displayAndSystem)
        askScreenSaver();
    askLogind();
}

void SleepInhibitor::askScreenSaver() {
    if (!m_sessionBus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("Inhibit"));
    call << applicationName << m_reason;
    ++m_pendingAnswers;
    auto* watcher = new QDBusPendingCallWatcher(m_sessionBus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<uint> reply = *w;
        if (reply.isValid()) {
            m_screenSaverCookie = reply.value();
            if (m_released)
                releaseHeld();
        }
        answerArrived();
    });
}

void SleepInhibitor::askLogind() {
    if (!m_systemBus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        logindService, QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << logindWhat(m_mode) << applicationName << m_reason << QStringLiteral("block");
    ++m_pendingAnswers;
    auto* watcher = new QDBusPendingCallWatcher(m_systemBus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isValid()) {
            m_logindLock = reply.value();
            if (m_released)
                releaseHeld();
        }
        answerArrived();
    });
}

void SleepInhibitor::answerArrived() {
    if (--m_pendingAnswers == 0)
        emit settled();
}

void SleepInhibitor::releaseHeld() {
    if (m_portalRequest) {
        // Closing the request object ends the portal's inhibition.
        m_sessionBus.asyncCall(QDBusMessage::createMethodCall(
            portalService, m_portalRequest->path(),
            QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Close")));
        m_portalRequest.reset();
    }
    if (m_screenSaverCookie) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            screenSaverService, screenSaverPath, screenSaverService, QStringLiteral("UnInhibit"));
        call << *m_screenSaverCookie;
        m_sessionBus.asyncCall(call);
        m_screenSaverCookie.reset();
    }
    // logind's lock lasts as long as the descriptor is open.
    m_logindLock.reset();
}
