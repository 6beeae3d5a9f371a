#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// What a drag offers an artwork view: its URLs, the bytes of an image it
// carries (a picture dragged out of a browser) and its text.
struct ArtworkDropOffer {
    QList<QUrl> urls;
    QByteArray imageData;
    QString text;
};

// How an artwork view answers a drop. Only the first offered item counts:
//  - a file URL is taken, and passed on when its lower-cased extension is
//    jpg, jpeg, png or webp (anything else is dropped silently);
//  - else image data is taken, written as a JPEG named by a new UUID into
//    `tempDir` and that file is passed on (undecodable data passes nothing);
//  - else an http or https address (a URL or the text) is taken and passed
//    on as it is;
//  - anything else is refused.
struct ArtworkDropResult {
    bool accepted = false;
    std::optional<QUrl> url;
};

bool acceptsArtworkDrop(const ArtworkDropOffer& offer);
ArtworkDropResult takeArtworkDrop(const ArtworkDropOffer& offer, const QString& tempDir);
