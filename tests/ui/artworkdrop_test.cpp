#include "ui/artworkdrop.h"

#include <QBuffer>
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
}

TEST(ArtworkDrop, RawImageBecomesATemporaryJpeg) {
    QTemporaryDir temp;
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"));
    // The image data wins over a web address offered with it.
    const ArtworkDropResult result =
        takeArtworkDrop({{QUrl(QStringLiteral("https://example.org/page"))}, png, {}}, temp.path());
    ASSERT_TRUE(result.accepted && result.url.has_value());
    const QString path = result.url->toLocalFile();
    EXPECT_TRUE(path.startsWith(temp.path() + QLatin1Char('/')) && path.endsWith(".jpg"));
    QImage written;
    ASSERT_TRUE(written.load(path, "JPEG"));
    EXPECT_EQ(written.size(), QSize(8, 8));
    // A second drop gets its own file.
    EXPECT_NE(takeArtworkDrop({{}, png, {}}, temp.path()).url, result.url);
}
