#include "app/commandlinefolder.h"

#include "app/medialibraryviewmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cstdio>

void openCommandLineFolder(MediaLibraryViewModel& viewModel, const QStringList& arguments) {
    openFolderPath(viewModel, commandLineFolder(arguments));
}

QString commandLineFolder(const QStringList& arguments) {
    // The first argument is the program; Qt has already taken its own options.
    if (arguments.size() < 2)
        return {};
    const QFileInfo folder(arguments.at(1));
    if (!folder.isDir()) {
        std::fprintf(stderr, "tolvane: not a folder: %s\n", qPrintable(arguments.at(1)));
        return {};
    }
    return QDir::cleanPath(folder.absoluteFilePath());
}

void openFolderPath(MediaLibraryViewModel& viewModel, const QString& path) {
    const QFileInfo folder(path);
    if (path.isEmpty() || !folder.isAbsolute() || !folder.isDir())
        return;
    viewModel.acceptChosenFolder(QUrl::fromLocalFile(QDir::cleanPath(path)));
}
