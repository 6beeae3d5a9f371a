#include "cache/metadatacachemanager.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testsupport::isolateUserDirectories();

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    // The shared metadata cache reads its file in the background and says so;
    // that happens here, before any test captures what is printed.
    MetadataCacheManager::shared();
    testsupport::waitUntil([] { return MetadataCacheManager::shared().isLoaded(); });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
