#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// Handlers of the desktop's remote controls (media keys, the now-playing
// widget). Each returns at once; the action itself may run later on the GUI
// thread. A handler left empty counts as a command that does nothing.
struct RemoteCommands {
    std::function<void()> play;
    std::function<void()> pause;
    std::function<void()> togglePlayPause;
    std::function<void()> nextTrack;
    std::function<void()> previousTrack;
    // False when the command cannot be carried out (its owner is gone).
    std::function<bool(double seconds)> changePlaybackPosition;
    // False, with a reason in `error`, when the URL is refused.
    std::function<bool(const QUrl& url, QString* error)> openUrl;
    std::function<void(double volume)> setVolume;
};
