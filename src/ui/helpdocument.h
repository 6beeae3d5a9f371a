#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The text of the help window, read from the application's resources. A
// missing or unreadable file gives a message in its place.
class HelpDocument : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static inline const QString resourcePath =
        QStringLiteral(":/qt/qml/Tolvane/resources/Help.txt");

    explicit HelpDocument(QObject* parent = nullptr) : QObject(parent) {}

    // The help text, or what went wrong; `path` is for tests.
    Q_INVOKABLE static QString load(const QString& path = resourcePath);
};
