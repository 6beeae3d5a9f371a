#pragma once

#include "library/mediaitem.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

class MediaLibraryViewModel;

// The audio files of the selected folder (the view model's flattenedFiles)
// as rows. The list is held, not copied: QList shares its buffer, so taking
// a 100,000-file list costs one reference; the rows reset only when the
// list really changed.
class FileListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* viewModel READ viewModel WRITE setViewModel NOTIFY viewModelChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // Row of the selected file (the view model's selectedFileID), or -1.
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectedRowChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, NameRole, IsSelectedRole, ItemRole };

    explicit FileListModel(QObject* parent = nullptr);

    QObject* viewModel() const;
    void setViewModel(QObject* viewModel);
    int count() const { return int(m_files.size()); }
    int selectedRow() const { return m_selectedRow; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // A click: the file is queued after the current track and played.
    Q_INVOKABLE void play(int row);
    Q_INVOKABLE void playNext(int row);
    Q_INVOKABLE void addToQueue(int row);

signals:
    void viewModelChanged();
    void countChanged();
    void selectedRowChanged();

private:
    void filesChanged();
    void selectionChanged();
    const MediaItem* itemAt(int row) const;
    int rowOf(const QString& id) const;

    QPointer<MediaLibraryViewModel> m_viewModel;
    QList<MediaItem> m_files;
    QString m_selectedID;
    int m_selectedRow = -1;
};
