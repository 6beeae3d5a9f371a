#pragma once

#include <QString>
#include <QUrl>

// What the desktop shows about the current track: the now-playing record.
struct NowPlayingInfo {
    // The track's file; it also names the track towards the desktop.
    QUrl url;
    QString title;
    QString artist;
    // Greater than 0 while playing.
    float playbackRate = 0;
    double elapsedSeconds = 0;
    // 0 while unknown.
    double durationSeconds = 0;
    // 1: music.
    unsigned mediaType = 1;
    // A cached PNG of the artwork, or empty when there is none (yet).
    QString artworkFile;

    friend bool operator==(const NowPlayingInfo&, const NowPlayingInfo&) = default;
};

enum class NowPlayingState { Stopped, Playing, Paused };
