#pragma once

#include <QImage>

// A mosaic of the image with `blocks` square cells across its longer side;
// each cell has the average colour of the pixels it covers. Same pixel size
// as the source; a null image when the source has no pixels.
QImage pixelate(const QImage& image, int blocks = 16);
