#pragma once

#include "app/medialibraryviewmodel.h"

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

// What the view tests reach as `testBench`: a fresh view model per test,
// generated music folders and clean settings. Each QML test file gets its own
// engine with the artwork provider of the real program.
class QmlTestBench : public QObject {
    Q_OBJECT

public:
    // A new view model replacing the previous one, with empty settings.
    Q_INVOKABLE QObject* newViewModel();
    // Creates a temporary folder holding these relative paths. Audio names
    // become short silent WAV files, image names small coloured pictures,
    // names ending in '/' empty folders; returns its path.
    Q_INVOKABLE QString makeLibrary(const QStringList& relativePaths);
    Q_INVOKABLE QUrl fileUrl(const QString& path) const { return QUrl::fromLocalFile(path); }
    // The library item with this id, or null.
    Q_INVOKABLE QVariant item(const QString& id) const;
    Q_INVOKABLE QVariant setting(const QString& key) const;
    Q_INVOKABLE void clearSettings();
    // Activates the window and types the key into it, as a user would.
    Q_INVOKABLE bool sendKey(QObject* window, int key, int modifiers = 0);
    // The application's override cursor shape, or -1 when there is none.
    Q_INVOKABLE int overrideCursorShape() const;

public slots:
    void qmlEngineAvailable(QQmlEngine* engine);
    void cleanupTestCase();

private:
    std::unique_ptr<MediaLibraryViewModel> m_viewModel;
    std::vector<std::unique_ptr<QTemporaryDir>> m_libraries;
};
