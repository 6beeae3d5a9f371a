#include "ui/scrubbergesture.h"

#include "app/playerprogress.h"

#include <algorithm>
#include <cmath>

double ScrubberGesture::span(double duration) {
    return std::max(duration, 1.0);
}

double ScrubberGesture::timeAt(double x, double width, double duration) {
    const double fraction = width > 0 && std::isfinite(x) ? std::clamp(x / width, 0.0, 1.0) : 0.0;
    return fraction * span(duration);
}

void ScrubberGesture::setProgress(PlayerProgress* progress) {
    if (m_progress == progress)
        return;
    m_progress = progress;
    emit progressChanged();
}

void ScrubberGesture::moveTo(double x, double width) {
    if (!m_progress || !(m_progress->duration() > 0))
        return;
    m_progress->setIsSeeking(true);
    m_progress->setCurrentTime(timeAt(x, width, m_progress->duration()));
}

void ScrubberGesture::finishAt(double x, double width) {
    if (!m_progress || !(m_progress->duration() > 0))
        return;
    emit seekRequested(timeAt(x, width, m_progress->duration()));
}
