#pragma once

#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>

// Where the drifting artwork of the OLED care screen was and where it was
// heading, kept between showings and between runs.
struct DriftState {
    QPointF position;
    QPointF velocity;
};

// Nothing until a position was ever saved; a missing component reads as 0.
std::optional<DriftState> loadDriftState();
void saveDriftState(const DriftState& state);

// The drift of the half-size artwork across the screen: it moves at a constant
// speed and bounces off the edges with a slightly random new direction, so no
// pixel shows the same picture for long.
//
// `position` is the offset of the artwork's box from the centre of the area
// (y grows downward); `imageSize` is the box's full size (artwork plus its
// padding), of which half is drawn. Times are in seconds on any monotonic clock.
class BouncingArtworkPhysics : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        QSizeF containerSize READ containerSize WRITE setContainerSize NOTIFY containerSizeChanged)
    Q_PROPERTY(QSizeF imageSize READ imageSize WRITE setImageSize NOTIFY imageSizeChanged)
    Q_PROPERTY(QPointF position READ position NOTIFY positionChanged)
    Q_PROPERTY(QPointF velocity READ velocity NOTIFY velocityChanged)

public:
    static constexpr double speed = 8.0;       // points per second
    static constexpr double maxFrameGap = 0.1; // seconds; a longer gap moves nothing
    static constexpr double minKick = 0.2;     // least share of the kick along the normal
    static constexpr int kickDraws = 10;

    // Returns an angle drawn uniformly from [0, 2π].
    using AngleSource = std::function<double()>;

    explicit BouncingArtworkPhysics(QObject* parent = nullptr);
    // Saves the drift when the view went away without saying so.
    ~BouncingArtworkPhysics() override;

    QSizeF containerSize() const { return m_containerSize; }
    void setContainerSize(const QSizeF& size);
    QSizeF imageSize() const { return m_imageSize; }
    void setImageSize(const QSizeF& size);
    QPointF position() const { return m_position; }
    QPointF velocity() const { return m_velocity; }

    void setAngleSource(AngleSource source) { m_angles = std::move(source); }
    // For tests: a state as if restored.
    void setState(const DriftState& state);

    // The view appeared at `now`: continue the saved drift, or start at the
    // centre in a random direction. Only the first call of an object counts.
    Q_INVOKABLE void appear(double now);
    // One frame at `now`.
    Q_INVOKABLE void step(double now);
    // The view went away: the drift is saved.
    Q_INVOKABLE void disappear();

signals:
    void containerSizeChanged();
    void imageSizeChanged();
    void positionChanged();
    void velocityChanged();

private:
    QPointF randomVelocity() const;
    void bounce(const QPointF& normal);
    void setPosition(const QPointF& position);
    void setVelocity(const QPointF& velocity);

    QSizeF m_containerSize;
    QSizeF m_imageSize;
    QPointF m_position;
    QPointF m_velocity;
    std::optional<double> m_lastUpdate;
    bool m_isInitialized = false;
    AngleSource m_angles;
};
