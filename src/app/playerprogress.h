#pragma once

#include <QObject>

// Current time, duration and seeking flag of the player. Kept apart from the
// view model so that its twenty updates a second notify only its own readers.
// Every assignment notifies, also when the value is unchanged.
class PlayerProgress : public QObject {
    Q_OBJECT
    Q_PROPERTY(double currentTime READ currentTime WRITE setCurrentTime NOTIFY currentTimeChanged)
    Q_PROPERTY(double duration READ duration WRITE setDuration NOTIFY durationChanged)
    Q_PROPERTY(bool isSeeking READ isSeeking WRITE setIsSeeking NOTIFY isSeekingChanged)

public:
    using QObject::QObject;

    double currentTime() const { return m_currentTime; }
    double duration() const { return m_duration; }
    bool isSeeking() const { return m_isSeeking; }

    void setCurrentTime(double seconds) {
        m_currentTime = seconds;
        emit currentTimeChanged();
    }
    void setDuration(double seconds) {
        m_duration = seconds;
        emit durationChanged();
    }
    void setIsSeeking(bool seeking) {
        m_isSeeking = seeking;
        emit isSeekingChanged();
    }

signals:
    void currentTimeChanged();
    void durationChanged();
    void isSeekingChanged();

private:
    double m_currentTime = 0;
    double m_duration = 0;
    bool m_isSeeking = false;
};
