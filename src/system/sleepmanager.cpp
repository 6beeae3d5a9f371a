#include "system/sleepmanager.h"

#include "base/console.h"
#include "system/sleepinhibitor.h"

#include <QDBusConnection>
#include <QPointer>

namespace {

SleepManager::ActivityEnd beginOverDBus(SleepMode mode) {
    return SleepManager::inhibitorStarter(QDBusConnection::sessionBus(),
                                          QDBusConnection::systemBus())(mode);
}

} // namespace

SleepManager::ActivityStarter SleepManager::inhibitorStarter(QDBusConnection sessionBus,
                                                             QDBusConnection systemBus) {
    return [sessionBus, systemBus](SleepMode mode) -> ActivityEnd {
        auto* inhibitor =
            new SleepInhibitor(mode, QStringLiteral("Media Playback"), sessionBus, systemBus);
        return [inhibitor = QPointer<SleepInhibitor>(inhibitor)] {
            if (inhibitor)
                SleepInhibitor::discard(inhibitor);
        };
    };
}

SleepManager& SleepManager::shared() {
    static SleepManager manager;
    return manager;
}

SleepManager::SleepManager() : m_starter(beginOverDBus) {}

void SleepManager::update(bool isFullscreenArtwork, bool isPlaying) {
    const SleepMode wanted = isFullscreenArtwork ? SleepMode::displayAndSystem
                             : isPlaying         ? SleepMode::systemOnly
                                                 : SleepMode::none;
    if (wanted == m_currentMode)
        return;
    if (wanted == SleepMode::none)
        allowSleep();
    else
        preventSleep(wanted);
}

void SleepManager::preventSleep(SleepMode mode) {
    allowSleep();
    if (mode == SleepMode::none)
        return;
    printLine(mode == SleepMode::displayAndSystem
                  ? QStringLiteral("SleepManager: Preventing Display & System Sleep")
                  : QStringLiteral("SleepManager: Preventing System Sleep"));
    m_activity = m_starter(mode);
    m_currentMode = mode;
}

void SleepManager::allowSleep() {
    if (m_activity) {
        // Cleared first: ending may re-enter through an event loop.
        ActivityEnd end = std::move(m_activity);
        m_activity = nullptr;
        end();
    }
    m_currentMode = SleepMode::none;
}

void SleepManager::setActivityStarter(ActivityStarter starter) {
    m_starter = starter ? std::move(starter) : ActivityStarter(beginOverDBus);
}
