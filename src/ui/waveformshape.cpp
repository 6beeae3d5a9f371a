#include "ui/waveformshape.h"

#include <algorithm>

QPolygonF waveformOutline(const QList<float>& samples, double width, double height) {
    const qsizetype n = samples.size();
    if (n == 0)
        return {};
    const double step = width / double(n);
    const double middle = height * 0.5;
    auto extent = [&](qsizetype i) { return std::max(0.0, double(samples[i]) * height); };

    QPolygonF outline;
    outline.reserve(2 * n + 1);
    outline << QPointF(0, middle);
    for (qsizetype i = 0; i < n; ++i)
        outline << QPointF(step * double(i), middle - extent(i) * 0.5);
    for (qsizetype i = n - 1; i >= 0; --i)
        outline << QPointF(step * double(i), middle + extent(i) * 0.5);
    return outline;
}
