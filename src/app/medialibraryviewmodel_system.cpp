#include "base/console.h"
#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/filetypes.h"
#include "library/mediaitemtree.h"
#include "system/mprisservice.h"
#include "system/nowplayingartwork.h"
#include "system/remotecommands.h"
#include "system/sleepmanager.h"

#include <QDBusConnection>
#include <QDir>

void MediaLibraryViewModel::setupRemoteCommands() {
    if (m_nowPlayingService)
        return;
    m_nowPlayingArtwork = new NowPlayingArtwork(MediaCacheManager::shared(), this);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    m_nowPlayingService = new MprisService(bus, this);
    m_nowPlayingService->setCommands(remoteCommandHandlers());
    QPointer<MediaLibraryViewModel> self(this);
    m_nowPlayingService->setPositionSource(
        [self] { return self && self->player() ? self->player()->currentTime() : 0.0; });
    m_nowPlayingService->setVolume(m_volume);
    if (!bus.isConnected())
        printLine(QStringLiteral("MPRIS: No session bus; media keys and now playing are off."));
    else if (!m_nowPlayingService->publish())
        printLine(QStringLiteral("MPRIS: Could not register ") + MprisService::serviceName +
                  QStringLiteral("; media keys and now playing are off."));
    followNowPlayingSources();
    // A track restored at start-up is shown at once.
    updateNowPlayingInfo();
}

RemoteCommands MediaLibraryViewModel::remoteCommandHandlers() {
    // Every handler answers at once and holds the view model weakly; the
    // action runs on a later turn of the GUI thread's loop.
    QPointer<MediaLibraryViewModel> self(this);
    auto later = [self](auto action) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, action] {
                if (self)
                    action(*self);
            },
            Qt::QueuedConnection);
    };
    RemoteCommands commands;
    commands.play = [later] {
        later([](MediaLibraryViewModel& vm) {
            if (vm.player())
                vm.player()->play();
        });
    };
    commands.pause = [later] {
        later([](MediaLibraryViewModel& vm) {
            vm.m_autoPlayPending = false; // also a track about to start by itself
            if (vm.player())
                vm.player()->pause();
        });
    };
    commands.togglePlayPause = [later] {
        later([](MediaLibraryViewModel& vm) { vm.togglePlayPause(); });
    };
    commands.nextTrack = [later] { later([](MediaLibraryViewModel& vm) { vm.nextTrack(); }); };
    commands.previousTrack = [later] {
        later([](MediaLibraryViewModel& vm) { vm.previousTrack(); });
    };
    commands.changePlaybackPosition = [self, later](double seconds) {
        if (!self)
            return false;
        later([seconds](MediaLibraryViewModel& vm) { vm.seek(seconds); });
        return true;
    };
    commands.openUrl = [self](const QUrl& url, QString* error) {
        if (!self) {
            *error = QStringLiteral("The player is gone.");
            return false;
        }
        return self->openUrl(url, error);
    };
    commands.setVolume = [later](double volume) {
        later([volume](MediaLibraryViewModel& vm) { vm.setVolume(float(volume)); });
    };
    return commands;
}

bool MediaLibraryViewModel::openUrl(const QUrl& url, QString* error) {
    if (!url.isValid() || !url.isLocalFile()) {
        *error = QStringLiteral("Not a file URL: ") + url.toString();
        return false;
    }
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QString id = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    // The library's root is not one of its entries: only what lies inside.
    const std::optional<MediaItem> item = findItem(id);
    if (!item || item->id() == m_rootFolder->id()) {
        *error = QStringLiteral("Not in the library: ") + path;
        return false;
    }
    if (item->isDirectory ? flattenAudioFiles(*item).isEmpty() : !isAudioFileUrl(item->url())) {
        *error = QStringLiteral("Nothing to play in: ") + path;
        return false;
    }
    QPointer<MediaLibraryViewModel> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, item = *item] {
            if (!self)
                return;
            if (item.isDirectory)
                self->playFolder(item);
            else
                self->playItem(item, 0, true);
        },
        Qt::QueuedConnection);
    return true;
}

void MediaLibraryViewModel::followNowPlayingSources() {
    // Track information usually arrives after playback has started.
    auto refresh = [this] {
        if (m_selectedFile)
            updateNowPlayingInfo();
    };
    connect(this, &MediaLibraryViewModel::currentTitleChanged, this, refresh);
    connect(this, &MediaLibraryViewModel::currentArtistChanged, this, refresh);
    connect(this, &MediaLibraryViewModel::currentArtworkChanged, this, refresh);
    connect(m_progress, &PlayerProgress::durationChanged, this, refresh);
    connect(m_nowPlayingArtwork, &NowPlayingArtwork::fileWritten, this, refresh);
    // A file unloaded or replaced must not linger on the desktop.
    connect(this, &MediaLibraryViewModel::selectedFileChanged, this,
            &MediaLibraryViewModel::updateNowPlayingInfo);
    connect(this, &MediaLibraryViewModel::volumeChanged, this,
            [this] { m_nowPlayingService->setVolume(m_volume); });
    // Clients are told of a jump once the seek has landed.
    connect(m_progress, &PlayerProgress::isSeekingChanged, this,
            [this, wasSeeking = false]() mutable {
                const bool landed = wasSeeking && !m_progress->isSeeking();
                wasSeeking = m_progress->isSeeking();
                if (landed && m_selectedFile && m_player)
                    m_nowPlayingService->notifySeeked(m_player->currentTime());
            });
}

void MediaLibraryViewModel::updateNowPlayingInfo() {
    if (!m_nowPlayingService)
        return;
    if (!m_selectedFile) {
        m_nowPlayingService->setNowPlaying(std::nullopt, NowPlayingState::Stopped);
        return;
    }
    const bool playing = m_player && m_player->rate() > 0;
    NowPlayingInfo info;
    info.url = m_selectedFile->url();
    info.title = m_currentTitle.value_or(m_selectedFile->name());
    info.artist = m_currentArtist.value_or(QStringLiteral("Unknown Artist"));
    info.playbackRate = m_player ? m_player->rate() : 0.0f;
    info.elapsedSeconds = m_player ? m_player->currentTime() : 0.0;
    info.durationSeconds = m_progress->duration();
    info.artworkFile = m_nowPlayingArtwork->fileFor(m_currentArtwork, info.url);
    m_nowPlayingService->setNowPlaying(info, playing ? NowPlayingState::Playing
                                                     : NowPlayingState::Paused);
}

void MediaLibraryViewModel::updateSleepPrevention() {
    SleepManager::shared().update(m_isFullscreenArtwork, m_player && m_player->rate() > 0);
}
