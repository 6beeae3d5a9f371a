#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// "Show in File Manager": asks the desktop's file manager over D-Bus
// (org.freedesktop.FileManager1.ShowItems) to show the item selected in its
// folder; without one, opens the folder that holds the item.
class FileManagerReveal : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // `id` is the item's absolute URL string.
    Q_INVOKABLE void showItem(const QString& id);
};
