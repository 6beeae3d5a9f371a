#include "qmltestbench.h"

#include "cache/atomicfilewriter.h"
#include "cache/mediacachemanager.h"
#include "library/filetypes.h"
#include "ui/artworkimageprovider.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QQmlContext>
#include <QSettings>
#include <QTest>
#include <QWindow>

namespace {

// 0.1 s of 16-bit mono silence at 8 kHz.
QByteArray silentWav() {
    const quint32 dataBytes = 1600;
    QByteArray bytes;
    auto put32 = [&bytes](quint32 v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&bytes](quint16 v) { bytes.append(reinterpret_cast<const char*>(&v), 2); };
    bytes.append("RIFF");
    put32(36 + dataBytes);
    bytes.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(16000);
    put16(2);
    put16(16);
    bytes.append("data");
    put32(dataBytes);
    bytes.append(QByteArray(dataBytes, '\0'));
    return bytes;
}

} // namespace

QObject* QmlTestBench::newViewModel() {
    m_viewModel.reset();
    clearSettings();
    // No queue stored by an earlier test comes back.
    AtomicFileWriter::shared().waitForIdle();
    QFile::remove(MediaCacheManager::shared().queueFilePath());
    m_viewModel = std::make_unique<MediaLibraryViewModel>();
    QQmlEngine::setObjectOwnership(m_viewModel.get(), QQmlEngine::CppOwnership);
    return m_viewModel.get();
}

QString QmlTestBench::makeLibrary(const QStringList& relativePaths) {
    auto dir = std::make_unique<QTemporaryDir>();
    const QString root = dir->path();
    for (const QString& relative : relativePaths) {
        const QString path = root + QLatin1Char('/') + relative;
        if (relative.endsWith(QLatin1Char('/'))) {
            QDir().mkpath(path);
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (isAudioFileName(path)) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(silentWav());
        } else if (isImageFileName(path)) {
            QImage image(32, 32, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(int(qHash(relative) % 360), 160, 200));
            image.save(path);
        } else {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
        }
    }
    m_libraries.push_back(std::move(dir));
    return root;
}

QVariant QmlTestBench::item(const QString& id) const {
    if (!m_viewModel)
        return {};
    const std::optional<MediaItem> found = m_viewModel->findItem(id);
    return found ? QVariant::fromValue(*found) : QVariant();
}

QVariant QmlTestBench::setting(const QString& key) const {
    return QSettings().value(key);
}

void QmlTestBench::clearSettings() {
    QSettings().clear();
}

bool QmlTestBench::sendKey(QObject* object, int key, int modifiers) {
    auto* window = qobject_cast<QWindow*>(object);
    if (!window)
        return false;
    window->requestActivate();
    if (!QTest::qWaitForWindowActive(window))
        return false;
    QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    return true;
}

int QmlTestBench::overrideCursorShape() const {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? int(cursor->shape()) : -1;
}

void QmlTestBench::qmlEngineAvailable(QQmlEngine* engine) {
    engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine->addImageProvider(QStringLiteral("artwork"),
                             new ArtworkImageProvider([this] { return m_viewModel.get(); }));
    engine->rootContext()->setContextProperty(QStringLiteral("testBench"), this);
}

void QmlTestBench::cleanupTestCase() {
    m_viewModel.reset();
}
