// Runs the view tests (tst_*.qml) headless under Qt Quick Test against the
// real QML module, with the real artwork provider and `testBench`.
#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/filetypes.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "ui/artworkimageprovider.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest/quicktest.h>
#include <memory>

Q_IMPORT_QML_PLUGIN(TolvanePlugin)

class QmlTestBench : public QObject {
    Q_OBJECT

public:
    // A new view model, with no settings or queue left by an earlier test.
    Q_INVOKABLE QObject* newViewModel() {
        m_viewModel.reset();
        QSettings().clear();
        AtomicFileWriter::shared().waitForIdle();
        QFile::remove(MediaCacheManager::shared().queueFilePath());
        m_viewModel = std::make_unique<MediaLibraryViewModel>();
        QQmlEngine::setObjectOwnership(m_viewModel.get(), QQmlEngine::CppOwnership);
        return m_viewModel.get();
    }
    // A temporary folder of these relative paths, opened in the view model:
    // audio names become short WAV files, image names small pictures.
    // Returns its URL once the library is there.
    Q_INVOKABLE QString openLibrary(const QStringList& relativePaths) {
        const QString root = m_libraries.filePath(QString::number(++m_count));
        for (const QString& relative : relativePaths) {
            const QString path = root + '/' + relative;
            if (isImageFileName(path))
                testsupport::makeImageFile(path, {32, 32},
                                           QColor::fromHsv(qHash(relative) % 360, 160, 200));
            else if (isAudioFileName(path))
                testsupport::writeWav(path, 800, 8000);
        }
        m_viewModel->openFolder(QUrl::fromLocalFile(root));
        return testsupport::waitUntil([&] { return m_viewModel->rootFolder().has_value(); })
                   ? QUrl::fromLocalFile(root).toString()
                   : QString();
    }
    Q_INVOKABLE QVariant item(const QString& id) const {
        const auto found = m_viewModel->findItem(id);
        return found ? QVariant::fromValue(*found) : QVariant();
    }
    Q_INVOKABLE QVariant setting(const QString& key) const { return QSettings().value(key); }
    // Activates the window and types the key into it, as a user would.
    Q_INVOKABLE bool sendKey(QWindow* window, int key, int modifiers = 0) {
        window->requestActivate();
        if (!QTest::qWaitForWindowActive(window))
            return false;
        QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(modifiers)); // may close it
        return true;
    }
    // The application's override cursor shape, or -1 when there is none.
    Q_INVOKABLE int overrideCursorShape() const {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        return cursor ? int(cursor->shape()) : -1;
    }

public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->addImageProvider(QStringLiteral("artwork"),
                                 new ArtworkImageProvider([this] { return m_viewModel.get(); }));
        engine->rootContext()->setContextProperty(QStringLiteral("testBench"), this);
    }
    void cleanupTestCase() { m_viewModel.reset(); }

private:
    std::unique_ptr<MediaLibraryViewModel> m_viewModel;
    QTemporaryDir m_libraries;
    int m_count = 0;
};

int main(int argc, char** argv) {
    testsupport::isolateUserDirectories();
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    QmlTestBench bench;
    return quick_test_main_with_setup(argc, argv, "views", TOLVANE_QML_TEST_DIR, &bench);
}

#include "qmltestmain.moc"
