// Runs the view tests (tst_*.qml) headless under Qt Quick Test against the
// real QML module; each file gets its own engine with the real artwork
// provider and `testBench`.
#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/filetypes.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"
#include "ui/artworkimageprovider.h"

#include <QCursor>
#include <QDataStream>
#include <QDir>
#include <QFile>
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
#include <vector>

Q_IMPORT_QML_PLUGIN(TolvanePlugin)

namespace {

// 0.1 s of 16-bit mono silence at 8 kHz.
QByteArray silentWav() {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + 1600);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(8000) << quint32(16000) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(1600);
    return bytes + QByteArray(1600, '\0');
}

} // namespace

// What the view tests reach as `testBench`.
class QmlTestBench : public QObject {
    Q_OBJECT

public:
    // A new view model replacing the previous one, with empty settings and
    // no queue stored by an earlier test.
    Q_INVOKABLE QObject* newViewModel() {
        m_viewModel.reset();
        QSettings().clear();
        AtomicFileWriter::shared().waitForIdle();
        QFile::remove(MediaCacheManager::shared().queueFilePath());
        m_viewModel = std::make_unique<MediaLibraryViewModel>();
        QQmlEngine::setObjectOwnership(m_viewModel.get(), QQmlEngine::CppOwnership);
        return m_viewModel.get();
    }
    // A temporary folder holding these relative paths: audio names become
    // short silent WAV files, image names small coloured pictures, names
    // ending in '/' empty folders. Returns its path.
    Q_INVOKABLE QString makeLibrary(const QStringList& relativePaths) {
        const QString root = m_libraries.emplace_back(std::make_unique<QTemporaryDir>())->path();
        for (const QString& relative : relativePaths) {
            const QString path = root + QLatin1Char('/') + relative;
            if (relative.endsWith(QLatin1Char('/')))
                QDir().mkpath(path);
            else if (isImageFileName(path))
                testsupport::makeImageFile(path, {32, 32},
                                           QColor::fromHsv(qHash(relative) % 360, 160, 200));
            else
                testsupport::writeFile(path, isAudioFileName(path) ? silentWav() : "x");
        }
        return root;
    }
    Q_INVOKABLE QUrl fileUrl(const QString& path) const { return QUrl::fromLocalFile(path); }
    // The library item with this id, or null.
    Q_INVOKABLE QVariant item(const QString& id) const {
        const auto found = m_viewModel ? m_viewModel->findItem(id) : std::nullopt;
        return found ? QVariant::fromValue(*found) : QVariant();
    }
    Q_INVOKABLE QVariant setting(const QString& key) const { return QSettings().value(key); }
    // Activates the window and types the key into it, as a user would.
    Q_INVOKABLE bool sendKey(QObject* object, int key, int modifiers = 0) {
        auto* window = qobject_cast<QWindow*>(object);
        if (!window)
            return false;
        window->requestActivate();
        if (!QTest::qWaitForWindowActive(window))
            return false;
        QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
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
    std::vector<std::unique_ptr<QTemporaryDir>> m_libraries;
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
