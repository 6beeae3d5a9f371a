#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// "minutes:seconds" of a playback time, minutes unbounded ("62:05"); "0:00"
// for a time that is not finite.
QString formatPlaybackTime(double seconds);

// The same for the views: PlaybackTime.format(seconds).
class PlaybackTime : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;
    Q_INVOKABLE QString format(double seconds) const { return formatPlaybackTime(seconds); }
};
