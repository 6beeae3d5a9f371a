#include "system/mprisplayeradaptor.h"

#include "system/mprisservice.h"

#include <QDBusError>

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service) {}

namespace {

void call(const std::function<void()>& command) {
    if (command)
        command();
}

} // namespace

QString MprisPlayerAdaptor::playbackStatus() const {
    return m_service->playbackStatus();
}

void MprisPlayerAdaptor::setRate(double rate) {
    if (rate <= 0)
        call(m_service->commands().pause);
}

QVariantMap MprisPlayerAdaptor::metadata() const {
    return m_service->metadata();
}

double MprisPlayerAdaptor::volume() const {
    return m_service->volume();
}

void MprisPlayerAdaptor::setVolume(double volume) {
    m_service->requestVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const {
    return m_service->positionMicroseconds();
}

void MprisPlayerAdaptor::Next() {
    call(m_service->commands().nextTrack);
}

void MprisPlayerAdaptor::Previous() {
    call(m_service->commands().previousTrack);
}

void MprisPlayerAdaptor::Pause() {
    call(m_service->commands().pause);
}

void MprisPlayerAdaptor::PlayPause() {
    call(m_service->commands().togglePlayPause);
}

void MprisPlayerAdaptor::Stop() {
    call(m_service->commands().pause);
}

void MprisPlayerAdaptor::Play() {
    call(m_service->commands().play);
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
    m_service->seekBy(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position) {
    m_service->setPosition(trackId, position);
}

void MprisPlayerAdaptor::OpenUri(const QString& uri) {
    QString error;
    if (!m_service->openUri(uri, &error) && m_service->calledFromDBus())
        m_service->sendErrorReply(QDBusError::InvalidArgs, error);
}
