#pragma once

#include "ui/sidebarentries.h"

#include <QList>
#include <QString>
#include <QStringList>

// Finds sidebar lines by name as sidebarEntries() does for a search, fast
// enough for every keystroke in a 10,000-folder library: the lines of the
// fully expanded tree and their case-folded names are gathered once per tree,
// and text that extends the previous search only looks through the previous
// matches.
class SidebarSearch {
public:
    // Forgets what was gathered; the tree changed (or may have).
    void clear();

    // The lines of `root` whose name contains `text`, case-insensitively, in
    // tree order. `root` must stay alive and unchanged until clear().
    QList<SidebarEntry> find(const MediaItem* root, const QString& text);

private:
    const MediaItem* m_root = nullptr;
    QList<SidebarEntry> m_entries;
    QStringList m_foldedNames;
    QString m_lastText;
    QList<qsizetype> m_lastMatches;
};
