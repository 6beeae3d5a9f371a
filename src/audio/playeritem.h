#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// One file in a QueuePlayer. The engine fills in its state as it opens and
// plays the file; observers get change signals with new values only.
class PlayerItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QUrl url READ url CONSTANT)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(bool isPlaybackBufferEmpty READ isPlaybackBufferEmpty NOTIFY
                   playbackBufferEmptyChanged)
    Q_PROPERTY(bool isPlaybackLikelyToKeepUp READ isPlaybackLikelyToKeepUp NOTIFY
                   playbackLikelyToKeepUpChanged)
    Q_PROPERTY(QString error READ error NOTIFY statusChanged)

public:
    enum class Status { Unknown, ReadyToPlay, Failed };
    Q_ENUM(Status)

    explicit PlayerItem(const QUrl& url, QObject* parent = nullptr) : QObject(parent), m_url(url) {}

    QUrl url() const { return m_url; }
    Status status() const { return m_status; }
    // Seconds; 0 until known.
    double duration() const { return m_duration; }
    bool isPlaybackBufferEmpty() const { return m_bufferEmpty; }
    bool isPlaybackLikelyToKeepUp() const { return m_likelyToKeepUp; }
    // Description of the failure when the status is Failed.
    QString error() const { return m_error; }

    // Written by the engine on the GUI thread.
    void setReady(double duration) {
        setDuration(duration);
        if (m_status != Status::ReadyToPlay) {
            m_status = Status::ReadyToPlay;
            emit statusChanged(m_status);
        }
    }
    void setFailed(const QString& error) {
        m_error = error;
        setPlaybackLikelyToKeepUp(false);
        if (m_status != Status::Failed) {
            m_status = Status::Failed;
            emit statusChanged(m_status);
        }
    }
    void setDuration(double seconds) {
        if (m_duration != seconds) {
            m_duration = seconds;
            emit durationChanged(seconds);
        }
    }
    void setPlaybackBufferEmpty(bool empty) {
        if (m_bufferEmpty != empty) {
            m_bufferEmpty = empty;
            emit playbackBufferEmptyChanged(empty);
        }
    }
    void setPlaybackLikelyToKeepUp(bool keepUp) {
        if (m_likelyToKeepUp != keepUp) {
            m_likelyToKeepUp = keepUp;
            emit playbackLikelyToKeepUpChanged(keepUp);
        }
    }

signals:
    void statusChanged(PlayerItem::Status status);
    void durationChanged(double seconds);
    void playbackBufferEmptyChanged(bool empty);
    void playbackLikelyToKeepUpChanged(bool keepUp);

private:
    QUrl m_url;
    Status m_status = Status::Unknown;
    double m_duration = 0;
    bool m_bufferEmpty = true;
    bool m_likelyToKeepUp = false;
    QString m_error;
};
