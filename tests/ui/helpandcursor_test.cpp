#include "support/testsupport.h"
#include "ui/cursorhider.h"
#include "ui/helpdocument.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

Qt::CursorShape overrideShape() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

TEST(CursorHider, HidesAndShowsInPairs) {
    auto first = std::make_unique<CursorHider>();
    CursorHider second;
    first->setHidden(true);
    first->setHidden(true); // already hidden: no second hide
    second.setHidden(true);
    EXPECT_EQ(CursorHider::outstandingHides(), 2);
    EXPECT_EQ(overrideShape(), Qt::BlankCursor);

    second.setHidden(false);
    second.setHidden(false);
    EXPECT_EQ(overrideShape(), Qt::BlankCursor); // the first still hides it
    first.reset();                               // gone while hiding
    EXPECT_EQ(CursorHider::outstandingHides(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(HelpDocument, TextOrWhatWentWrong) {
    EXPECT_TRUE(HelpDocument::load().contains("OLED Care")) << "the bundled guide";
    EXPECT_EQ(HelpDocument::load(":/qt/qml/Tolvane/resources/Missing.txt"),
              "Help documentation file not found.");

    QTemporaryDir dir;
    const QString unreadable = HelpDocument::load(dir.path());
    EXPECT_TRUE(unreadable.startsWith("Error loading help documentation: "))
        << unreadable.toStdString();
    EXPECT_GT(unreadable.size(), QString("Error loading help documentation: ").size());

    QFile latin1(dir.filePath("Help.txt"));
    ASSERT_TRUE(latin1.open(QIODevice::WriteOnly));
    latin1.write("Caf\xe9\n");
    latin1.close();
    EXPECT_TRUE(HelpDocument::load(latin1.fileName()).startsWith("Error loading help"));
}

} // namespace
