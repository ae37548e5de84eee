#pragma once

#include <QPolygonF>
#include <QRectF>
#include <QTransform>

// Small geometry helpers shared by the layer tree's damage tracking and the
// compositor. Pure functions, any thread.
namespace LayerGeometry {

// From y-up coordinates of a space `heightPoints` high to y-down ones.
inline QTransform flipY(double heightPoints)
{
    return QTransform(1, 0, 0, -1, 0, heightPoints);
}

// Whether every corner of `rect` lands in front of the eye (W > 0, with a
// margin): a layer turned so far that part of it passes behind the eye has
// no sensible projection and is not drawn.
inline bool projectsInFront(const QTransform &transform, const QRectF &rect)
{
    if (!transform.isAffine()) {
        const QPointF corners[] = {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()};
        for (const QPointF &corner : corners) {
            const double w = transform.m13() * corner.x() + transform.m23() * corner.y() + transform.m33();
            if (!(w > 1e-3))
                return false;
        }
    }
    return true;
}

// The axis-aligned bounds of `rect` mapped; empty when it cannot be projected.
inline QRectF mappedBounds(const QTransform &transform, const QRectF &rect)
{
    if (rect.isEmpty() || !projectsInFront(transform, rect))
        return QRectF();
    return transform.map(QPolygonF(rect)).boundingRect();
}

// `b` equals `a` followed by a move; the move is returned in `offset`.
inline bool differsByTranslation(const QTransform &a, const QTransform &b, QPointF *offset)
{
    const QPointF move = b.map(QPointF(0, 0)) - a.map(QPointF(0, 0));
    const QTransform moved = a * QTransform::fromTranslate(move.x(), move.y());
    // Normalise both by their m33 (projective matrices are defined up to scale).
    const double sa = moved.m33();
    const double sb = b.m33();
    if (sa == 0.0 || sb == 0.0)
        return false;
    const double ea[] = {moved.m11() / sa, moved.m12() / sa, moved.m13() / sa, moved.m21() / sa,
                         moved.m22() / sa, moved.m23() / sa, moved.m31() / sa, moved.m32() / sa};
    const double eb[] = {b.m11() / sb, b.m12() / sb, b.m13() / sb, b.m21() / sb,
                         b.m22() / sb, b.m23() / sb, b.m31() / sb, b.m32() / sb};
    for (int i = 0; i < 8; ++i) {
        const double scale = std::max({1.0, std::abs(ea[i]), std::abs(eb[i])});
        if (std::abs(ea[i] - eb[i]) > 1e-9 * scale)
            return false;
    }
    *offset = move;
    return true;
}

} // namespace LayerGeometry
