#include "cache/metadatacachemanager.h"
#include "support/testsupport.h"

#include <QGuiApplication>

int main(int argc, char** argv) {
    testsupport::isolateUserDirectories();

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    // Before any test captures what is printed: loading the cache prints.
    testsupport::waitUntil([] { return MetadataCacheManager::shared().isLoaded(); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
