#include "ui/waveformview.h"

#include "ui/waveformshape.h"

#include <QPainter>
#include <QPainterPath>

WaveformView::WaveformView(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    connect(this, &QQuickItem::widthChanged, this, [this] { update(); });
    connect(this, &QQuickItem::heightChanged, this, [this] { update(); });
}

void WaveformView::setSamples(const QList<float>& samples) {
    if (samples == m_samples)
        return;
    m_samples = samples;
    emit samplesChanged();
    update();
}

void WaveformView::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    emit colorChanged();
    update();
}

void WaveformView::paint(QPainter* painter) {
    const QPolygonF outline = waveformOutline(m_samples, width(), height());
    if (outline.isEmpty())
        return;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addPolygon(outline);
    path.closeSubpath();
    painter->setRenderHint(QPainter::Antialiasing);
    if (m_samples.size() == 1) {
        // A one-sample envelope has no width; a hairline keeps it visible.
        painter->setPen(QPen(m_color, 1));
        painter->drawPolyline(outline);
        return;
    }
    painter->fillPath(path, m_color);
}
