#include "ui/filelistmodel.h"

#include "app/medialibraryviewmodel.h"
#include "library/backgroundrelease.h"
#include "ui/sidebarentries.h"

FileListModel::FileListModel(QObject* parent) : QAbstractListModel(parent) {}

QObject* FileListModel::viewModel() const {
    return m_viewModel.data();
}

void FileListModel::setViewModel(QObject* object) {
    auto* viewModel = qobject_cast<MediaLibraryViewModel*>(object);
    if (viewModel == m_viewModel)
        return;
    if (m_viewModel)
        m_viewModel->disconnect(this);
    m_viewModel = viewModel;
    if (viewModel) {
        connect(viewModel, &MediaLibraryViewModel::flattenedFilesChanged, this,
                &FileListModel::filesChanged);
        connect(viewModel, &MediaLibraryViewModel::selectedFileIDChanged, this,
                &FileListModel::selectionChanged);
    }
    filesChanged();
    emit viewModelChanged();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_files.size());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const MediaItem& item = m_files[index.row()];
    switch (role) {
    case IdRole:
        return item.id();
    case Qt::DisplayRole:
    case NameRole:
        return displayName(item);
    case IsSelectedRole:
        return index.row() == m_selectedRow;
    case ItemRole:
        return QVariant::fromValue(item);
    default:
        return {};
    }
}

QHash<int, QByteArray> FileListModel::roleNames() const {
    return {
        {IdRole, "itemId"}, {NameRole, "name"}, {IsSelectedRole, "isSelected"}, {ItemRole, "item"}};
}

const MediaItem* FileListModel::itemAt(int row) const {
    return row >= 0 && row < m_files.size() ? &m_files[row] : nullptr;
}

void FileListModel::play(int row) {
    if (const MediaItem* item = itemAt(row); item && m_viewModel)
        m_viewModel->playItem(MediaItem(*item), 0, true);
}

void FileListModel::playNext(int row) {
    if (const MediaItem* item = itemAt(row); item && m_viewModel)
        m_viewModel->playNext(MediaItem(*item));
}

void FileListModel::addToQueue(int row) {
    if (const MediaItem* item = itemAt(row); item && m_viewModel)
        m_viewModel->addToQueue(MediaItem(*item));
}

void FileListModel::filesChanged() {
    static const QList<MediaItem> none;
    const QList<MediaItem>& files = m_viewModel ? m_viewModel->flattenedFiles() : none;
    // The same buffer, or the same files again (a reselected folder): the
    // rows stay, the model just holds the newer list.
    const bool same = files.constData() == m_files.constData() ? files.size() == m_files.size()
                                                               : files == m_files;
    if (same) {
        m_files = files;
        selectionChanged();
        return;
    }
    const int countBefore = count();
    const int rowBefore = m_selectedRow;
    // When this was the last holder of a big list, it is freed off the GUI thread.
    BackgroundRelease<QList<MediaItem>> previous(m_files);
    beginResetModel();
    m_files = files;
    m_selectedID = m_viewModel ? m_viewModel->selectedFileID().value_or(QString()) : QString();
    m_selectedRow = rowOf(m_selectedID);
    endResetModel();
    if (count() != countBefore)
        emit countChanged();
    if (m_selectedRow != rowBefore)
        emit selectedRowChanged();
}

void FileListModel::selectionChanged() {
    m_selectedID = m_viewModel ? m_viewModel->selectedFileID().value_or(QString()) : QString();
    const int previous = m_selectedRow;
    m_selectedRow = rowOf(m_selectedID);
    if (previous == m_selectedRow)
        return;
    for (int row : {previous, m_selectedRow}) {
        if (row >= 0)
            emit dataChanged(index(row), index(row), {IsSelectedRole});
    }
    emit selectedRowChanged();
}

int FileListModel::rowOf(const QString& id) const {
    if (id.isEmpty())
        return -1;
    // The current row first: most changes of the selected file keep it.
    if (m_selectedRow >= 0 && m_selectedRow < m_files.size() && m_files[m_selectedRow].id() == id)
        return m_selectedRow;
    for (qsizetype row = 0; row < m_files.size(); ++row) {
        if (m_files[row].id() == id)
            return int(row);
    }
    return -1;
}
