#include "ui/bouncingartworkphysics.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSettings>
#include <QtMath>
#include <cmath>

namespace {

const QString keyX = QStringLiteral("OLEDLastX");
const QString keyY = QStringLiteral("OLEDLastY");
const QString keyVX = QStringLiteral("OLEDLastVX");
const QString keyVY = QStringLiteral("OLEDLastVY");

double dot(const QPointF& a, const QPointF& b) {
    return a.x() * b.x() + a.y() * b.y();
}

double length(const QPointF& v) {
    return std::hypot(v.x(), v.y());
}

QPointF unit(double angle) {
    return {std::cos(angle), std::sin(angle)};
}

} // namespace

std::optional<DriftState> loadDriftState() {
    const QSettings settings;
    if (!settings.contains(keyX))
        return std::nullopt;
    auto number = [&settings](const QString& key) { return settings.value(key, 0.0).toDouble(); };
    return DriftState{{number(keyX), number(keyY)}, {number(keyVX), number(keyVY)}};
}

void saveDriftState(const DriftState& state) {
    QSettings settings;
    settings.setValue(keyX, state.position.x());
    settings.setValue(keyY, state.position.y());
    settings.setValue(keyVX, state.velocity.x());
    settings.setValue(keyVY, state.velocity.y());
}

BouncingArtworkPhysics::BouncingArtworkPhysics(QObject* parent)
    : QObject(parent), m_angles([] { return QRandomGenerator::global()->bounded(2.0 * M_PI); }) {
    // A full-screen window may outlive the views that would say goodbye.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &BouncingArtworkPhysics::disappear);
}

BouncingArtworkPhysics::~BouncingArtworkPhysics() {
    if (QCoreApplication::instance())
        disappear();
}

void BouncingArtworkPhysics::setContainerSize(const QSizeF& size) {
    m_containerSize = size;
    emit containerSizeChanged();
}

void BouncingArtworkPhysics::setImageSize(const QSizeF& size) {
    m_imageSize = size;
    emit imageSizeChanged();
}

void BouncingArtworkPhysics::setState(const DriftState& state) {
    setPosition(state.position);
    setVelocity(state.velocity);
}

void BouncingArtworkPhysics::appear(double now) {
    if (m_isInitialized)
        return;
    const std::optional<DriftState> saved = loadDriftState();
    if (!saved) {
        setPosition({0, 0});
        setVelocity(randomVelocity());
    } else {
        setPosition(saved->position);
        setVelocity(saved->velocity.isNull() ? randomVelocity() : saved->velocity);
    }
    m_isInitialized = true;
    m_lastUpdate = now;
}

void BouncingArtworkPhysics::disappear() {
    if (m_isInitialized)
        saveDriftState({m_position, m_velocity});
}

QPointF BouncingArtworkPhysics::randomVelocity() const {
    return unit(m_angles()) * speed;
}

void BouncingArtworkPhysics::step(double now) {
    if (!m_lastUpdate || m_imageSize.isNull()) {
        m_lastUpdate = now;
        return;
    }
    const double dt = now - *m_lastUpdate;
    m_lastUpdate = now;
    if (dt > maxFrameGap)
        return;

    const double x = m_position.x() + m_velocity.x() * dt;
    const double y = m_position.y() + m_velocity.y() * dt;
    const double bx = (m_containerSize.width() - m_imageSize.width() * 0.5) * 0.5;
    const double by = (m_containerSize.height() - m_imageSize.height() * 0.5) * 0.5;

    // A corner counts as the floor or the ceiling: only the vertical component
    // turns now; a still outward horizontal one meets the side wall next frame.
    const bool right = x > bx, left = x<-bx, below = y> by, above = y < -by;
    const double wallX = right ? bx : left ? -bx : x;
    const double wallY = below ? by : above ? -by : y;
    QPointF normal;
    if (below)
        normal = {0, -1};
    else if (above)
        normal = {0, 1};
    else if (right)
        normal = {-1, 0};
    else if (left)
        normal = {1, 0};
    const QPointF landed(wallX, wallY);
    if (!normal.isNull())
        bounce(normal);
    setPosition(landed);
}

// Mirror the velocity on the wall, then push it a little along a random
// direction that points back into the area, at the same speed as before.
void BouncingArtworkPhysics::bounce(const QPointF& normal) {
    const QPointF reflected = m_velocity - 2 * dot(m_velocity, normal) * normal;
    QPointF kick = normal;
    for (int draw = 0; draw < kickDraws; ++draw) {
        const QPointF candidate = unit(m_angles());
        if (dot(normal, candidate) > minKick) {
            kick = candidate;
            break;
        }
    }
    const QPointF v = reflected + speed * kick;
    const double size = length(v);
    setVelocity(size > 0 ? v * (speed / size) : reflected);
}

void BouncingArtworkPhysics::setPosition(const QPointF& position) {
    m_position = position;
    emit positionChanged();
}

void BouncingArtworkPhysics::setVelocity(const QPointF& velocity) {
    m_velocity = velocity;
    emit velocityChanged();
}
