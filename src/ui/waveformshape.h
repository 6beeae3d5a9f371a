#pragma once

#include <QList>
#include <QPolygonF>

// The outline of a waveform drawn in a w × h box: the upper edge from left to
// right, then the same edge mirrored below the middle line from right to
// left, as one closed shape. Sample i stands at x = i·w/n and reaches
// sample·h/2 above and below the middle (negative samples count as 0).
// No samples, no shape; one sample, a vertical sliver at x = 0.
QPolygonF waveformOutline(const QList<float>& samples, double width, double height);
