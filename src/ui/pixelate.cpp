#include "ui/pixelate.h"

#include <algorithm>
#include <cmath>

namespace {

// Pixel range [first, last) of cell `index` when cells are `cell` pixels wide.
std::pair<int, int> cellRange(int index, double cell, int limit) {
    const int first = std::min(limit, static_cast<int>(std::floor(index * cell)));
    const int last = std::min(limit, static_cast<int>(std::floor((index + 1) * cell)));
    return {first, std::max(last, std::min(first + 1, limit))};
}

} // namespace

QImage pixelate(const QImage& image, int blocks) {
    if (image.isNull() || image.width() < 1 || image.height() < 1 || blocks < 1) {
        return {};
    }
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    const int w = source.width();
    const int h = source.height();
    const double cell = static_cast<double>(std::max(w, h)) / blocks;
    const int columns = static_cast<int>(std::ceil(w / cell));
    const int rows = static_cast<int>(std::ceil(h / cell));

    QImage result(w, h, QImage::Format_ARGB32);
    for (int row = 0; row < rows; ++row) {
        const auto [y0, y1] = cellRange(row, cell, h);
        for (int column = 0; column < columns; ++column) {
            const auto [x0, x1] = cellRange(column, cell, w);
            quint64 sum[4] = {0, 0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
                for (int x = x0; x < x1; ++x) {
                    sum[0] += qRed(line[x]);
                    sum[1] += qGreen(line[x]);
                    sum[2] += qBlue(line[x]);
                    sum[3] += qAlpha(line[x]);
                }
            }
            const quint64 count = quint64(y1 - y0) * quint64(x1 - x0);
            const QRgb colour = qRgba(int(sum[0] / count), int(sum[1] / count), int(sum[2] / count),
                                      int(sum[3] / count));
            for (int y = y0; y < y1; ++y) {
                auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
                std::fill(line + x0, line + x1, colour);
            }
        }
    }
    return result;
}
