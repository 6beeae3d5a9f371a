#include "ui/pixelate.h"

#include <QImage>
#include <gtest/gtest.h>

// Runs of one colour along a row (or a column) of the image.
static int runs(const QImage& image, bool across, int at) {
    int count = 1;
    for (int i = 1; i < (across ? image.width() : image.height()); ++i)
        count += across ? image.pixel(i, at) != image.pixel(i - 1, at)
                        : image.pixel(at, i) != image.pixel(at, i - 1);
    return count;
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
