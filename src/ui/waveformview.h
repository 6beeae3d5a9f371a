#pragma once

#include <QColor>
#include <QList>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// The mirrored envelope of a track's samples, one filled shape. It paints
// only when the samples, colour or size change: the scrubber shows the played
// part by clipping a second copy, so playback itself never repaints it.
class WaveformView : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QList<float> samples READ samples WRITE setSamples NOTIFY samplesChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)

public:
    explicit WaveformView(QQuickItem* parent = nullptr);

    const QList<float>& samples() const { return m_samples; }
    void setSamples(const QList<float>& samples);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    void paint(QPainter* painter) override;

signals:
    void samplesChanged();
    void colorChanged();

private:
    QList<float> m_samples;
    QColor m_color = Qt::gray;
};
