#include "qmltestbench.h"
#include "support/testsupport.h"

#include <QGuiApplication>
#include <QQuickStyle>
#include <QtQml/QQmlExtensionPlugin>
#include <QtQuickTest/quicktest.h>

Q_IMPORT_QML_PLUGIN(TolvanePlugin)

// Runs the view tests (tst_*.qml) headless against the real QML module.
int main(int argc, char** argv) {
    testsupport::isolateUserDirectories();
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QQuickStyle::setStyle(QStringLiteral("Fusion"));
    QmlTestBench bench;
    return quick_test_main_with_setup(argc, argv, "views", TOLVANE_QML_TEST_DIR, &bench);
}
