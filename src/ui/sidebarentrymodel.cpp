#include "ui/sidebarentrymodel.h"

#include "app/medialibraryviewmodel.h"
#include "library/backgroundrelease.h"

#include <QSet>

namespace {

// Beyond this many separate blocks of changed rows, a reset is cheaper for
// the views than one signal per block (a search keystroke over a big tree).
constexpr int kMaxChangedBlocks = 64;

// What makes two entries the same row: within one tree the item's address
// (cheap to hash on every keystroke), across trees its id.
struct ByAddress {
    using Key = const MediaItem*;
    static Key of(const SidebarEntry& entry) { return entry.item; }
};
struct ById {
    using Key = QString;
    static const Key& of(const SidebarEntry& entry) { return entry.item->id(); }
};

template <typename Identity>
QSet<typename Identity::Key> keysOf(const QList<SidebarEntry>& entries) {
    QSet<typename Identity::Key> keys;
    keys.reserve(entries.size());
    for (const SidebarEntry& entry : entries)
        keys.insert(Identity::of(entry));
    return keys;
}

// Number of blocks of consecutive entries missing from `other`.
template <typename Identity>
int blocksMissingFrom(const QList<SidebarEntry>& entries,
                      const QSet<typename Identity::Key>& other) {
    int blocks = 0;
    bool inBlock = false;
    for (const SidebarEntry& entry : entries) {
        const bool missing = !other.contains(Identity::of(entry));
        blocks += missing && !inBlock;
        inBlock = missing;
    }
    return blocks;
}

// Whether the entries both lists share come in the same order.
template <typename Identity>
bool sameOrder(const QList<SidebarEntry>& a, const QSet<typename Identity::Key>& aKeys,
               const QList<SidebarEntry>& b, const QSet<typename Identity::Key>& bKeys) {
    qsizetype i = 0, j = 0;
    for (;;) {
        while (i < a.size() && !bKeys.contains(Identity::of(a[i])))
            ++i;
        while (j < b.size() && !aKeys.contains(Identity::of(b[j])))
            ++j;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        if (Identity::of(a[i]) != Identity::of(b[j]))
            return false;
        ++i;
        ++j;
    }
}

} // namespace

SidebarEntryModel::SidebarEntryModel(QObject* parent) : QAbstractListModel(parent) {}

QObject* SidebarEntryModel::viewModel() const {
    return m_viewModel.data();
}

void SidebarEntryModel::setViewModel(QObject* object) {
    auto* viewModel = qobject_cast<MediaLibraryViewModel*>(object);
    if (viewModel == m_viewModel)
        return;
    if (m_viewModel)
        m_viewModel->disconnect(this);
    m_viewModel = viewModel;
    if (viewModel) {
        connect(viewModel, &MediaLibraryViewModel::rootFolderChanged, this,
                &SidebarEntryModel::rootChanged);
        connect(viewModel, &MediaLibraryViewModel::expandedFolderIDsChanged, this,
                &SidebarEntryModel::rederive);
        connect(viewModel, &MediaLibraryViewModel::selectedFolderIDChanged, this,
                &SidebarEntryModel::selectionChanged);
    }
    m_selectedID = viewModel ? viewModel->selectedFolderID().value_or(QString()) : QString();
    rootChanged();
    emit viewModelChanged();
}

void SidebarEntryModel::setSearchText(const QString& text) {
    if (text == m_searchText)
        return;
    m_searchText = text;
    rederive();
    emit searchTextChanged();
}

void SidebarEntryModel::setGridMode(bool on) {
    if (on == m_gridMode)
        return;
    m_gridMode = on;
    artworkSizeChanged();
    emit gridModeChanged();
}

void SidebarEntryModel::setLargeArtwork(bool on) {
    if (on == m_largeArtwork)
        return;
    m_largeArtwork = on;
    artworkSizeChanged();
    emit largeArtworkChanged();
}

int SidebarEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

QVariant SidebarEntryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SidebarEntry& entry = m_entries[index.row()];
    const MediaItem& item = *entry.item;
    switch (role) {
    case IdRole:
        return item.id();
    case Qt::DisplayRole:
    case NameRole:
        return displayName(item);
    case DepthRole:
        return entry.depth;
    case IsDirectoryRole:
        return item.isDirectory;
    case HasSubfoldersRole:
        return hasAudioSubfolders(item);
    case IsSelectedRole:
        return !m_selectedID.isEmpty() && item.id() == m_selectedID;
    case IsExpandedRole:
        return m_viewModel && m_viewModel->expandedFolderIDs().contains(item.id());
    case ArtworkSizeRole:
        return sidebarArtworkSize(m_gridMode, m_largeArtwork, entry.depth);
    case ItemRole:
        return QVariant::fromValue(item);
    default:
        return {};
    }
}

QHash<int, QByteArray> SidebarEntryModel::roleNames() const {
    return {{IdRole, "itemId"},
            {NameRole, "name"},
            {DepthRole, "depth"},
            {IsDirectoryRole, "isDirectory"},
            {HasSubfoldersRole, "hasSubfolders"},
            {IsSelectedRole, "isSelected"},
            {IsExpandedRole, "isExpanded"},
            {ArtworkSizeRole, "artworkSize"},
            {ItemRole, "item"}};
}

const MediaItem* SidebarEntryModel::itemAt(int row) const {
    return row >= 0 && row < m_entries.size() ? m_entries[row].item : nullptr;
}

void SidebarEntryModel::click(int row) {
    const MediaItem* found = itemAt(row);
    if (!found || !m_viewModel)
        return;
    // A copy: the model may re-derive (and drop its tree) while this runs.
    const MediaItem item = *found;
    if (!item.isDirectory) {
        m_viewModel->playItem(item, 0, true);
        return;
    }
    QSet<QString> expanded = m_viewModel->expandedFolderIDs();
    if (expanded.contains(item.id())) {
        expanded.remove(item.id());
    } else {
        if (m_entries[row].depth == 0)
            expanded.clear();
        expanded.insert(item.id());
    }
    m_viewModel->setExpandedFolderIDs(std::move(expanded));
    m_viewModel->setSelectedFolder(item);
}

void SidebarEntryModel::doubleClick(int row) {
    if (const MediaItem* item = itemAt(row); item && m_viewModel)
        m_viewModel->playFolder(MediaItem(*item));
}

void SidebarEntryModel::playNext(int row) {
    if (const MediaItem* item = itemAt(row); item && m_viewModel)
        m_viewModel->playNext(MediaItem(*item));
}

void SidebarEntryModel::addToQueue(int row) {
    if (const MediaItem* item = itemAt(row); item && m_viewModel)
        m_viewModel->addToQueue(MediaItem(*item));
}

int SidebarEntryModel::rowOf(const QString& id) const {
    for (qsizetype row = 0; row < m_entries.size(); ++row) {
        if (m_entries[row].item->id() == id)
            return int(row);
    }
    return -1;
}

void SidebarEntryModel::rootChanged() {
    // The old tree stays alive until the rows have moved to the new one, and
    // is then freed off the GUI thread.
    BackgroundRelease<std::optional<MediaItem>> previous(m_root);
    m_root = m_viewModel ? m_viewModel->rootFolder() : std::nullopt;
    m_search.clear();
    apply(derive(), true);
}

void SidebarEntryModel::rederive() {
    apply(derive(), false);
    if (!m_entries.isEmpty())
        emit dataChanged(index(0), index(int(m_entries.size()) - 1), {IsExpandedRole});
}

QList<SidebarEntry> SidebarEntryModel::derive() {
    const MediaItem* root = m_root ? &*m_root : nullptr;
    if (!m_searchText.isEmpty())
        return m_search.find(root, m_searchText);
    return sidebarEntries(root, m_viewModel ? m_viewModel->expandedFolderIDs() : QSet<QString>(),
                          {});
}

void SidebarEntryModel::apply(QList<SidebarEntry> next, bool itemsReplaced) {
    const int before = count();
    if (!applyByRows(next, !itemsReplaced)) {
        beginResetModel();
        m_entries = std::move(next);
        endResetModel();
    } else {
        // Same ids row by row; the items may now live in a newer tree.
        m_entries = std::move(next);
        if (itemsReplaced && !m_entries.isEmpty())
            emit dataChanged(index(0), index(int(m_entries.size()) - 1));
    }
    if (count() != before)
        emit countChanged();
}

bool SidebarEntryModel::applyByRows(const QList<SidebarEntry>& next, bool sameTree) {
    return sameTree ? moveRows<ByAddress>(next) : moveRows<ById>(next);
}

template <typename Identity> bool SidebarEntryModel::moveRows(const QList<SidebarEntry>& next) {
    const auto nextKeys = keysOf<Identity>(next);
    const auto oldKeys = keysOf<Identity>(m_entries);
    if (!sameOrder<Identity>(m_entries, oldKeys, next, nextKeys))
        return false;
    if (blocksMissingFrom<Identity>(m_entries, nextKeys) +
            blocksMissingFrom<Identity>(next, oldKeys) >
        kMaxChangedBlocks)
        return false;

    // Removals from the end, so earlier rows keep their numbers.
    for (qsizetype row = m_entries.size() - 1; row >= 0;) {
        if (nextKeys.contains(Identity::of(m_entries[row]))) {
            --row;
            continue;
        }
        const qsizetype last = row;
        while (row >= 0 && !nextKeys.contains(Identity::of(m_entries[row])))
            --row;
        beginRemoveRows({}, int(row + 1), int(last));
        m_entries.remove(row + 1, last - row);
        endRemoveRows();
    }
    // What is left is the shared entries in order; insertions from the start.
    for (qsizetype row = 0; row < next.size();) {
        if (oldKeys.contains(Identity::of(next[row]))) {
            ++row;
            continue;
        }
        const qsizetype first = row;
        while (row < next.size() && !oldKeys.contains(Identity::of(next[row])))
            ++row;
        beginInsertRows({}, int(first), int(row - 1));
        m_entries =
            m_entries.first(first) + next.sliced(first, row - first) + m_entries.sliced(first);
        endInsertRows();
    }
    return true;
}

void SidebarEntryModel::selectionChanged() {
    const QString previous = m_selectedID;
    m_selectedID = m_viewModel ? m_viewModel->selectedFolderID().value_or(QString()) : QString();
    for (const QString& id : {previous, m_selectedID}) {
        const int row = id.isEmpty() ? -1 : rowOf(id);
        if (row >= 0)
            emit dataChanged(index(row), index(row), {IsSelectedRole});
    }
}

void SidebarEntryModel::artworkSizeChanged() {
    if (!m_entries.isEmpty())
        emit dataChanged(index(0), index(int(m_entries.size()) - 1), {ArtworkSizeRole});
}
