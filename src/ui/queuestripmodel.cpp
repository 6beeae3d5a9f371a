#include "ui/queuestripmodel.h"

#include "app/medialibraryviewmodel.h"
#include "playback/queueentries.h"

#include <QSet>

QueueStripModel::QueueStripModel(QObject* parent) : QAbstractListModel(parent) {}

QObject* QueueStripModel::viewModel() const {
    return m_viewModel;
}

void QueueStripModel::setViewModel(QObject* viewModel) {
    auto* model = qobject_cast<MediaLibraryViewModel*>(viewModel);
    if (model == m_viewModel)
        return;
    disconnect(m_groupsChanged);
    m_viewModel = model;
    if (model)
        m_groupsChanged = connect(model, &MediaLibraryViewModel::upcomingFolderGroupsChanged, this,
                                  &QueueStripModel::refresh);
    refresh();
    emit viewModelChanged();
}

void QueueStripModel::refresh() {
    setEntries(m_viewModel ? m_viewModel->upcomingFolderGroups() : QList<MediaItem>());
}

QueueStripModel::Entry QueueStripModel::entryFor(const MediaItem& item) {
    return {item.id(), item.name(), entryFolder(item)};
}

qsizetype QueueStripModel::indexOf(const QString& id, qsizetype from) const {
    for (qsizetype i = from; i < m_entries.size(); ++i) {
        if (m_entries[i].id == id)
            return i;
    }
    return -1;
}

void QueueStripModel::setEntries(const QList<MediaItem>& entries) {
    const int countBefore = count();
    QSet<QString> wanted;
    for (const MediaItem& item : entries)
        wanted.insert(item.id());
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (wanted.contains(m_entries[i].id))
            continue;
        beginRemoveRows({}, int(i), int(i));
        m_entries.removeAt(i);
        endRemoveRows();
    }
    // What is left is a subset of the wanted entries: put each in its place.
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry entry = entryFor(entries[i]);
        if (i < m_entries.size() && m_entries[i].id == entry.id)
            continue;
        const qsizetype from = indexOf(entry.id, i + 1);
        if (from >= 0) {
            beginMoveRows({}, int(from), int(from), {}, int(i));
            m_entries.move(from, i);
            endMoveRows();
        } else {
            beginInsertRows({}, int(i), int(i));
            m_entries.insert(i, entry);
            endInsertRows();
        }
    }
    if (count() != countBefore)
        emit countChanged();
}

QStringList QueueStripModel::ids() const {
    QStringList ids;
    ids.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        ids.append(entry.id);
    return ids;
}

int QueueStripModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant QueueStripModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry& entry = m_entries[index.row()];
    switch (role) {
    case ItemIdRole:
        return entry.id;
    case NameRole:
    case Qt::DisplayRole:
        return entry.name;
    case FolderIdRole:
        return entry.folderId;
    default:
        return {};
    }
}

QHash<int, QByteArray> QueueStripModel::roleNames() const {
    return {{ItemIdRole, "itemId"}, {NameRole, "name"}, {FolderIdRole, "folderId"}};
}
