// The playback time, seeking and the position saved at quit.
#include "base/console.h"
#include "app/medialibraryviewmodel.h"
#include "playback/playbackpositionstore.h"

#include <cmath>

namespace {

// Media times count in steps of 1/600 s.
constexpr double mediaTimeScale = 600;
constexpr double timeObserverInterval = 30 / mediaTimeScale; // 0.05 s

double mediaTime(double seconds) {
    return std::round(seconds * mediaTimeScale) / mediaTimeScale;
}

} // namespace

void MediaLibraryViewModel::addTimeObserver() {
    if (!m_player) {
        m_timeObserverToken.reset();
        return;
    }
    const QPointer<MediaLibraryViewModel> self(this);
    m_timeObserverToken =
        m_player->addPeriodicTimeObserver(timeObserverInterval, [self](double seconds) {
            // A seek under way owns the shown time until it completes.
            if (self && !self->m_progress->isSeeking())
                self->m_progress->setCurrentTime(seconds);
        });
}

void MediaLibraryViewModel::removeTimeObserver() {
    if (!m_timeObserverToken)
        return;
    if (m_player)
        m_player->removeTimeObserver(*m_timeObserverToken);
    m_timeObserverToken.reset();
}

void MediaLibraryViewModel::seek(double seconds) {
    if (!m_player || !std::isfinite(seconds))
        return;
    m_progress->setIsSeeking(true);
    const QPointer<MediaLibraryViewModel> self(this);
    m_player->seek(std::max(0.0, mediaTime(seconds)), [self](bool /*finished*/) {
        if (self)
            self->m_progress->setIsSeeking(false);
    });
}

void MediaLibraryViewModel::savePlaybackPosition() {
    if (!m_selectedFile || !m_player)
        return;
    const double seconds = m_player->currentTime();
    if (!(seconds > 0))
        return;
    // A position that cannot be written is lost; the line is printed all the same.
    PlaybackPositionStore::shared().save(m_selectedFile->url(), seconds);
    printLine(QStringLiteral("Saved playback position: ") + floatText(seconds) +
              QStringLiteral(" for ") + m_selectedFile->name());
}
