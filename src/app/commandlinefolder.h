#pragma once

#include <QStringList>

class MediaLibraryViewModel;

// `tolvane [FOLDER]`: a FOLDER given on the command line is opened as if it
// had been picked in the folder chooser, so its grant is stored for the next
// start. Anything that is not a folder is reported on stderr and ignored.
void openCommandLineFolder(MediaLibraryViewModel& viewModel, const QStringList& arguments);
