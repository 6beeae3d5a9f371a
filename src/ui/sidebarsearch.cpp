#include "ui/sidebarsearch.h"

void SidebarSearch::clear() {
    m_root = nullptr;
    m_entries.clear();
    m_foldedNames.clear();
    m_lastText.clear();
    m_lastMatches.clear();
}

QList<SidebarEntry> SidebarSearch::find(const MediaItem* root, const QString& text) {
    if (root != m_root || (m_entries.isEmpty() && root)) {
        clear();
        m_root = root;
        m_entries = allSidebarEntries(root);
        m_foldedNames.reserve(m_entries.size());
        for (const SidebarEntry& entry : std::as_const(m_entries))
            m_foldedNames.append(displayName(*entry.item).toCaseFolded());
    }
    const QString folded = text.toCaseFolded();
    // Every name holding the longer text also holds the shorter one.
    const bool narrowing = !m_lastText.isEmpty() && folded.contains(m_lastText);
    QList<qsizetype> matches;
    const auto consider = [&](qsizetype index) {
        if (m_foldedNames[index].contains(folded))
            matches.append(index);
    };
    if (narrowing) {
        for (qsizetype index : std::as_const(m_lastMatches))
            consider(index);
    } else {
        for (qsizetype index = 0; index < m_entries.size(); ++index)
            consider(index);
    }
    QList<SidebarEntry> found;
    found.reserve(matches.size());
    for (qsizetype index : std::as_const(matches))
        found.append(m_entries[index]);
    m_lastText = folded;
    m_lastMatches = std::move(matches);
    return found;
}
