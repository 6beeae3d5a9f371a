#pragma once

#include "system/sleepmode.h"

#include <QDBusConnection>
#include <functional>

// Keeps the machine (and in full-screen artwork also the display) awake
// while it is wanted, holding at most one activity at a time. One instance
// for the process; GUI thread only.
class SleepManager {
public:
    // Ends the activity it was returned with.
    using ActivityEnd = std::function<void()>;
    // Begins the activity of a mode.
    using ActivityStarter = std::function<ActivityEnd(SleepMode mode)>;

    static SleepManager& shared();

    // The default starter asks the desktop over D-Bus.
    SleepManager();
    SleepManager(const SleepManager&) = delete;
    SleepManager& operator=(const SleepManager&) = delete;

    SleepMode currentMode() const { return m_currentMode; }
    bool holdsActivity() const { return bool(m_activity); }

    // Steps to the mode that fits: displayAndSystem in full-screen artwork,
    // systemOnly while playing, none otherwise. Staying in a mode does nothing.
    void update(bool isFullscreenArtwork, bool isPlaying);
    // Ends any activity, prints the mode's line and begins the new activity.
    void preventSleep(SleepMode mode);
    // Ends any activity; the mode becomes none.
    void allowSleep();

    // Replaces how activities begin (tests); an empty starter restores the default.
    void setActivityStarter(ActivityStarter starter);
    // Begins activities as SleepInhibitors on these buses; the default uses
    // the session and the system bus.
    static ActivityStarter inhibitorStarter(QDBusConnection sessionBus, QDBusConnection systemBus);

private:
    ActivityStarter m_starter;
    ActivityEnd m_activity;
    SleepMode m_currentMode = SleepMode::none;
};
