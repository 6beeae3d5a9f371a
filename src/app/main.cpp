#include "app/colorscheme.h"
#include "app/commandlinefolder.h"
#include "app/medialibraryviewmodel.h"
#include "base/quitonsignal.h"
#include "app/singleinstance.h"
#include "ui/appsettings.h"
#include "ui/artworkimageprovider.h"
#include "ui/framelog.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QtQml/QQmlExtensionPlugin>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(TolvanePlugin)

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QGuiApplication::setApplicationName(QStringLiteral("Tolvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tolvane"));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    followDesktopColorScheme(app);
    quitOnTerminationSignals();
    // A second start hands its folder to the running program and ends here,
    // before it touches any settings or cache.
    const QString folder = commandLineFolder(QCoreApplication::arguments());
    SingleInstance instance(QDBusConnection::sessionBus());
    if (const std::optional<int> exitCode = instance.claimOrHandOver(folder))
        return *exitCode;
    AppSettings::resetForLaunch();

    MediaLibraryViewModel viewModel;
    instance.setFolderHandler(
        [&viewModel](const QString& path) { openFolderPath(viewModel, path); });
    openFolderPath(viewModel, folder);

    QQmlApplicationEngine engine;
    engine.addImageProvider(QStringLiteral("artwork"),
                            new ArtworkImageProvider([&viewModel] { return &viewModel; }));
    engine.setInitialProperties({{QStringLiteral("viewModel"), QVariant::fromValue(&viewModel)}});
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app,
        [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Tolvane/qml/Main.qml")));
    auto* window = engine.rootObjects().isEmpty()
                       ? nullptr
                       : qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    // For the benchmarks: one line when the window's first frame is shown,
    // and the frame log.
    if (window && qEnvironmentVariableIsSet("TOLVANE_REPORT_FIRST_FRAME")) {
        QObject::connect(
            window, &QQuickWindow::frameSwapped, &app,
            [] {
                std::printf("first frame\n");
                std::fflush(stdout);
            },
            Qt::SingleShotConnection);
    }
    startFrameLogIfRequested(window);
    return app.exec();
}
