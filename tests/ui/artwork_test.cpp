// What an artwork view takes from a drop, and the pixelated artwork.
#include "support/mediafixtures.h"
#include "ui/artworkdrop.h"
#include "ui/pixelate.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs of one colour along a row (or a column) of the image.
static int runs(const QImage& image, bool across, int at) {
    int count = 1;
    for (int i = 1; i < (across ? image.width() : image.height()); ++i)
        count += across ? image.pixel(i, at) != image.pixel(i - 1, at)
                        : image.pixel(at, i) != image.pixel(at, i - 1);
    return count;
}

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

TEST(Pixelate, SixteenCellsAcrossTheLongerSideEachItsAverage) {
    QImage image(1000, 500, QImage::Format_RGB32); // a gradient: neighbouring cells differ
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / 999, y * 255 / 499, 128));
    const QImage mosaic = pixelate(image, 16);
    ASSERT_EQ(mosaic.size(), image.size());
    EXPECT_EQ(runs(mosaic, true, 499), 16);
    EXPECT_EQ(runs(mosaic, false, 999), 8);
    // Cells are 62.5 pixels: the second starts at pixel 62, the third at 125.
    EXPECT_NE(mosaic.pixel(62, 0), mosaic.pixel(61, 0));
    EXPECT_EQ(mosaic.pixel(124, 0), mosaic.pixel(62, 0));
    EXPECT_NE(mosaic.pixel(125, 0), mosaic.pixel(124, 0));
    EXPECT_NEAR(qRed(mosaic.pixel(0, 0)), 30 * 255 / 999, 1);
    EXPECT_TRUE(pixelate(QImage(), 16).isNull());
}
