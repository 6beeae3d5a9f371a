#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QVariantMap>

class MprisService;

// org.mpris.MediaPlayer2.Player: transport commands and the now-playing
// record. Every command answers at once; see RemoteCommands.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ isEnabled)
    Q_PROPERTY(bool CanGoPrevious READ isEnabled)
    Q_PROPERTY(bool CanPlay READ isEnabled)
    Q_PROPERTY(bool CanPause READ isEnabled)
    Q_PROPERTY(bool CanSeek READ isEnabled)
    Q_PROPERTY(bool CanControl READ isEnabled)

public:
    explicit MprisPlayerAdaptor(MprisService* service);

    QString playbackStatus() const;
    // Playback runs at normal speed only; a rate of 0 asks for a pause.
    double rate() const { return 1.0; }
    void setRate(double rate);
    QVariantMap metadata() const;
    double volume() const;
    void setVolume(double volume);
    qlonglong position() const;
    // Every command is always available; one without a track does nothing.
    bool isEnabled() const { return true; }

public slots:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    // Pauses: there is no separate stopped state while a track is loaded.
    void Stop();
    void Play();
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position);
    void OpenUri(const QString& uri);

signals:
    void Seeked(qlonglong position);

private:
    MprisService* m_service;
};
