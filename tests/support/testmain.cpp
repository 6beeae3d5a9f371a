#include "support/testsupport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testsupport::isolateUserDirectories();

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
