#pragma once

#include <QUrl>
#include <optional>

// The cover image of one folder, by the scanner's priority without the
// sub-folder step: "folder.jpg" (any case, the last one listed), else the
// first image whose name holds "cover", "artwork", "front" or "album", else
// the first other image. Lists the folder once and opens no file. Prints
// "Error finding artwork in ..." when the folder cannot be listed.
std::optional<QUrl> findArtwork(const QUrl& folder);
