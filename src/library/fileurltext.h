#pragma once

#include <QString>

// Builds the absolute URL string of a folder entry from its parent's, without
// a QUrl per entry. The result equals
// absoluteString(QUrl::fromLocalFile(parentPath + "/" + name)): ASCII names use
// a table taken from QUrl itself; any other name is encoded by QUrl.
QString childUrlString(const QString& parentUrlString, const QString& name);
