#include "app/appnotifications.h"
#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/artworksaver.h"
#include "library/artworkstore.h"
#include "library/foldergrant.h"
#include "playback/filepresence.h"

#include <QDir>
#include <QPointer>
#include <QTimer>

bool MediaLibraryViewModel::loadCurrentArtwork(const QUrl& trackUrl) {
    if (filePresence(normalizedPath(trackUrl)) == FilePresence::Placeholder)
        return false;

    const QUrl folderUrl = folderUrlOf(trackUrl);
    QImage image = cachedArtwork(trackUrl);
    if (!isUsableImage(image))
        image = cachedArtwork(folderUrl);
    if (!isUsableImage(image)) {
        const QDir folder(normalizedPath(folderUrl));
        QImage found;
        for (const QString& name : folderArtworkCandidates) {
            found = decodeImageFile(folder.filePath(name));
            if (isUsableImage(found))
                break;
        }
        if (!isUsableImage(found))
            return false;
        image = found;
        // Stored a turn later, so this turn shows the image without waiting on the encoder.
        QTimer::singleShot(0, this, [found, folderUrl] { cacheArtwork(found, folderUrl); });
    }

    // The same image object keeps the view from being republished.
    if (m_currentArtwork.isNull() || m_currentArtwork.cacheKey() != image.cacheKey())
        setCurrentArtwork(image);
    return true;
}

void MediaLibraryViewModel::saveArtwork(const QUrl& source, const MediaItem& target) {
    const QUrl folderUrl = target.isDirectory ? target.url() : folderUrlOf(target.url());
    const QString destination = QDir(normalizedPath(folderUrl)).filePath("folder.jpg");

    // Access to the media folder is held for the time of the save and given
    // back a turn after it ended, whatever the outcome.
    const bool rootAccess = m_currentRootURL && FolderGrant::startAccessing(*m_currentRootURL);
    QPointer<MediaLibraryViewModel> self(this);
    saveArtworkFile(source, destination, this, [self, folderUrl, rootAccess](const QImage& image) {
        if (rootAccess) {
            QTimer::singleShot(0, self, [self] {
                if (self->m_currentRootURL)
                    FolderGrant::stopAccessing(*self->m_currentRootURL);
            });
        }
        if (image.isNull())
            return;
        cacheArtwork(image, folderUrl);
        emit AppNotifications::shared().artworkUpdated(absoluteString(folderUrl));
        const std::optional<MediaItem>& selected = self->selectedFile();
        if (selected && absoluteString(folderUrlOf(selected->url())) == absoluteString(folderUrl))
            self->loadTrackInfo(*selected);
    });
}
