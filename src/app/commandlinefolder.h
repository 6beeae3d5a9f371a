#pragma once

#include <QString>
#include <QStringList>

class MediaLibraryViewModel;

// `tolvane [FOLDER]`: a FOLDER given on the command line is opened as if it
// had been picked in the folder chooser, so its grant is stored for the next
// start. Anything that is not a folder is reported on stderr and ignored.
void openCommandLineFolder(MediaLibraryViewModel& viewModel, const QStringList& arguments);

// The FOLDER argument as a clean absolute path; empty when there is none or
// it is not a folder (then reported on stderr).
QString commandLineFolder(const QStringList& arguments);
// Opens a folder path as if it had been picked in the folder chooser;
// anything but an existing folder is ignored.
void openFolderPath(MediaLibraryViewModel& viewModel, const QString& path);
