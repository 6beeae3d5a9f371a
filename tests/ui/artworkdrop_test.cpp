#include "support/mediafixtures.h"
#include "ui/artworkdrop.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ArtworkDrop, Rules) {
    QTemporaryDir temp;
    const QUrl png = QUrl::fromLocalFile(QStringLiteral("/pictures/Cover.PNG"));
    const QUrl gif = QUrl::fromLocalFile(QStringLiteral("/pictures/cover.gif"));
    const QUrl web(QStringLiteral("https://example.org/cover.jpg"));
    const struct {
        const char* what;
        ArtworkDropOffer offer;
        bool accepted;
        std::optional<QUrl> url;
    } cases[] = {
        {"image file, extension in capitals", {{png}, {}, {}}, true, png},
        {"file of another type: taken, nothing passed", {{gif}, {}, {}}, true, std::nullopt},
        {"only the first item counts", {{gif, png}, {}, {}}, true, std::nullopt},
        {"web address", {{web}, {}, {}}, true, web},
        {"web address as text", {{}, {}, web.toString()}, true, web},
        {"other scheme", {{QUrl(QStringLiteral("ftp://example.org/a.jpg"))}, {}, {}}, false, {}},
        {"plain text", {{}, {}, QStringLiteral("file:///music/A")}, false, {}},
        {"undecodable image data", {{}, QByteArray("not an image"), {}}, true, std::nullopt},
        {"nothing", {}, false, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(acceptsArtworkDrop(c.offer), c.accepted) << c.what;
        const ArtworkDropResult result = takeArtworkDrop(c.offer, temp.path());
        EXPECT_EQ(result.accepted, c.accepted) << c.what;
        EXPECT_EQ(result.url, c.url) << c.what;
    }
    // Image data wins over a web address offered with it: a new JPEG in the
    // temporary folder for each drop.
    const QByteArray red = testsupport::pngBytes(Qt::red, {8, 8});
    const auto first = takeArtworkDrop({{web}, red, {}}, temp.path()).url;
    ASSERT_TRUE(first && first->toLocalFile().startsWith(temp.path() + '/') &&
                first->path().endsWith(".jpg"));
    EXPECT_EQ(QImage(first->toLocalFile(), "JPEG").size(), QSize(8, 8));
    EXPECT_NE(takeArtworkDrop({{}, red, {}}, temp.path()).url, first);
}
