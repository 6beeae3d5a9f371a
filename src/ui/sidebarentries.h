#pragma once

#include "library/mediaitem.h"

#include <QList>
#include <QSet>
#include <QString>

// One line of the sidebar: a library item and how deep it lies below the
// library root (0 for the root's own children). The item points into a tree
// that the caller keeps alive and unchanged.
struct SidebarEntry {
    const MediaItem* item = nullptr;
    int depth = 0;
};

// The sidebar's lines, in tree order. The top level lists every child of the
// root (folders with or without audio, and audio files lying in the root);
// below it only folders that contain audio, and only under expanded folders.
// A non-empty search expands everything and keeps the entries whose name
// contains the text, case-insensitively, each at its own depth and without
// adding its ancestors.
QList<SidebarEntry> sidebarEntries(const MediaItem* root, const QSet<QString>& expandedIDs,
                                   const QString& searchText);

// The lines with every folder expanded: what a search looks through.
QList<SidebarEntry> allSidebarEntries(const MediaItem* root);

// The name the user sees (the last path component), read straight from the
// id without building a URL: a search asks for it once per folder.
QString displayName(const MediaItem& item);

// Whether a folder has sub-folders that contain audio.
bool hasAudioSubfolders(const MediaItem& item);

// Edge length of an entry's artwork, in pixels: 40/60 in the tree, 120/200
// in the grid (large off/on), four fifths of that below the top level.
double sidebarArtworkSize(bool grid, bool large, int depth);
