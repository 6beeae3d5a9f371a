#include "ui/pixelate.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// Number of runs of equal colour along a line of pixels.
int runs(const QImage& image, bool horizontal, int at) {
    const int length = horizontal ? image.width() : image.height();
    int count = 0;
    QRgb previous = 0;
    for (int i = 0; i < length; ++i) {
        const QRgb pixel = horizontal ? image.pixel(i, at) : image.pixel(at, i);
        if (i == 0 || pixel != previous)
            ++count;
        previous = pixel;
    }
    return count;
}

} // namespace

TEST(Pixelate, SixteenCellsAcrossTheLongerSide) {
    // A gradient, so neighbouring cells always differ.
    QImage image(1000, 500, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / 999, y * 255 / 499, 128));

    const QImage mosaic = pixelate(image, 16);
    ASSERT_EQ(mosaic.size(), image.size());
    for (int y : {0, 250, 499})
        EXPECT_EQ(runs(mosaic, true, y), 16);
    for (int x : {0, 500, 999})
        EXPECT_EQ(runs(mosaic, false, x), 8);
    // Cells are 62.5 pixels: the second starts at pixel 62, the third at 125.
    EXPECT_EQ(mosaic.pixel(61, 0), mosaic.pixel(0, 0));
    EXPECT_NE(mosaic.pixel(62, 0), mosaic.pixel(61, 0));
    EXPECT_EQ(mosaic.pixel(124, 0), mosaic.pixel(62, 0));
    EXPECT_NE(mosaic.pixel(125, 0), mosaic.pixel(124, 0));
    // A cell's colour is the average of what it covers.
    EXPECT_NEAR(qRed(mosaic.pixel(0, 0)), 30 * 255 / 999, 1);

    EXPECT_TRUE(pixelate(QImage(), 16).isNull());
}
