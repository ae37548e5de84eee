#include "core/ThemeStage.h"

#include <QImage>
#include <QPainter>

QRegion ThemeStage::renderDamage(QImage &frame, bool)
{
    const QSizeF viewSize = frame.deviceIndependentSize();
    if (frame.isNull() || viewSize.isEmpty())
        return QRegion();
    frame.fill(Qt::black);
    QPainter painter(&frame);
    paint(painter, viewSize);
    return QRegion(QRectF(QPointF(0, 0), viewSize).toAlignedRect());
}

QRegion ThemeStage::damage(const QSizeF &viewSize) const
{
    return QRegion(QRectF(QPointF(0, 0), viewSize).toAlignedRect());
}
