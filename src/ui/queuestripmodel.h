#pragma once

#include "library/mediaitem.h"

#include <QAbstractListModel>
#include <QMetaObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class MediaLibraryViewModel;

// The queue strip's tiles: one entry per upcoming folder group of the view
// model. It follows the queue by inserting, removing and moving rows (never
// by a reset), so the strip can animate each change.
class QueueStripModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* viewModel READ viewModel WRITE setViewModel NOTIFY viewModelChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        ItemIdRole = Qt::UserRole + 1, // the entry's id: the drag payload
        NameRole,                      // the entry's file name: the tooltip
        FolderIdRole,                  // the group's folder: whose artwork shows
    };

    explicit QueueStripModel(QObject* parent = nullptr);

    QObject* viewModel() const;
    void setViewModel(QObject* viewModel);

    int count() const { return int(m_entries.size()); }
    // The entries' ids in strip order.
    Q_INVOKABLE QStringList ids() const;
    // Brings the rows to `entries` with row moves, inserts and removals.
    void setEntries(const QList<MediaItem>& entries);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void viewModelChanged();
    void countChanged();

private:
    struct Entry {
        QString id;
        QString name;
        QString folderId;
    };
    static Entry entryFor(const MediaItem& item);
    qsizetype indexOf(const QString& id, qsizetype from) const;
    void refresh();

    QPointer<MediaLibraryViewModel> m_viewModel;
    QMetaObject::Connection m_groupsChanged;
    QList<Entry> m_entries;
};
