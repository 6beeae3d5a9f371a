#include "app/medialibraryviewmodel.h"
#include "ui/filelistmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

MediaItem album(const QString& name, int tracks) {
    QList<MediaItem> files;
    for (int i = 1; i <= tracks; ++i)
        files.append(MediaItem::audioFile(QStringLiteral("/music/%1/%2.mp3").arg(name).arg(i)));
    return MediaItem::folder(QStringLiteral("/music/") + name, files);
}

} // namespace

TEST(FileListModel, FollowsTheSelectedFolderWithoutNeedlessResets) {
    MediaLibraryViewModel viewModel;
    const MediaItem a = album(QStringLiteral("A"), 3);
    const MediaItem b = album(QStringLiteral("B"), 2);
    viewModel.setRootFolder(MediaItem::folder(QStringLiteral("/music"), {a, b}));
    FileListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setViewModel(&viewModel);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy selected(&model, &FileListModel::selectedRowChanged);

    EXPECT_EQ(model.count(), 0);
    viewModel.setSelectedFolder(a);
    EXPECT_EQ(model.count(), 3);
    EXPECT_EQ(model.index(1).data(FileListModel::NameRole).toString(), QStringLiteral("2.mp3"));
    EXPECT_EQ(reset.size(), 1);

    // The same folder again gives an equal list: the rows stay.
    viewModel.setSelectedFolder(a);
    EXPECT_EQ(reset.size(), 1);

    viewModel.setSelectedFileID(a.children->at(2).id());
    EXPECT_EQ(model.selectedRow(), 2);
    EXPECT_TRUE(model.index(2).data(FileListModel::IsSelectedRole).toBool());
    EXPECT_EQ(selected.size(), 1);

    // Another folder: the selected file is not in it.
    viewModel.setSelectedFolder(b);
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(model.selectedRow(), -1);
    EXPECT_EQ(reset.size(), 2);

    viewModel.setSelectedFolder(std::nullopt);
    EXPECT_EQ(model.count(), 0);
}
