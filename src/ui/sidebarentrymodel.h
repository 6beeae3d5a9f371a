#pragma once

#include "ui/sidebarentries.h"
#include "ui/sidebarsearch.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <optional>

class MediaLibraryViewModel;

// The sidebar's lines (tree rows or grid tiles) over the view model's
// library, expansion and selection, filtered by the search text. An
// expansion or search change inserts and removes rows, so the views can
// animate them; a change too scattered for that resets the model.
//
// The model keeps its own copy of the root: the tree's lists are implicitly
// shared, so the copy costs nothing and keeps the entries' items alive.
class SidebarEntryModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* viewModel READ viewModel WRITE setViewModel NOTIFY viewModelChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(bool gridMode READ gridMode WRITE setGridMode NOTIFY gridModeChanged)
    Q_PROPERTY(bool largeArtwork READ largeArtwork WRITE setLargeArtwork NOTIFY largeArtworkChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        NameRole,
        DepthRole,
        IsDirectoryRole,
        HasSubfoldersRole,
        IsSelectedRole,
        IsExpandedRole,
        ArtworkSizeRole,
        ItemRole,
    };

    explicit SidebarEntryModel(QObject* parent = nullptr);

    QObject* viewModel() const;
    void setViewModel(QObject* viewModel);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    bool gridMode() const { return m_gridMode; }
    void setGridMode(bool on);
    bool largeArtwork() const { return m_largeArtwork; }
    void setLargeArtwork(bool on);
    int count() const { return int(m_entries.size()); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // A single click: a folder collapses or expands (expanding a top-level
    // folder collapses every other one) and becomes the selected folder; an
    // audio file is queued after the current track and played.
    Q_INVOKABLE void click(int row);
    // A double click plays the entry's folder.
    Q_INVOKABLE void doubleClick(int row);
    Q_INVOKABLE void playNext(int row);
    Q_INVOKABLE void addToQueue(int row);
    // Row of the entry with this id, or -1.
    Q_INVOKABLE int rowOf(const QString& id) const;

signals:
    void viewModelChanged();
    void searchTextChanged();
    void gridModeChanged();
    void largeArtworkChanged();
    void countChanged();

private:
    const MediaItem* itemAt(int row) const;
    void rootChanged();
    void rederive();
    QList<SidebarEntry> derive();
    // Moves the rows from the current entries to `next`, row by row when both
    // are in the same order, else with a reset.
    void apply(QList<SidebarEntry> next, bool itemsReplaced);
    bool applyByRows(const QList<SidebarEntry>& next, bool sameTree);
    template <typename Identity> bool moveRows(const QList<SidebarEntry>& next);
    void selectionChanged();
    void artworkSizeChanged();

    QPointer<MediaLibraryViewModel> m_viewModel;
    std::optional<MediaItem> m_root;
    QList<SidebarEntry> m_entries;
    SidebarSearch m_search;
    QString m_searchText;
    QString m_selectedID;
    bool m_gridMode = false;
    bool m_largeArtwork = false;
};
