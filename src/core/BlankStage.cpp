#include "core/BlankStage.h"

#include <QPainter>

void BlankStage::setLayerOpacity(Layer layer, float opacity)
{
    m_opacity[static_cast<int>(layer)] = opacity < 0 ? 0 : (opacity > 1 ? 1 : opacity);
}

void BlankStage::paint(QPainter &painter, const QSizeF &viewSize) const
{
    painter.fillRect(QRectF(QPointF(0, 0), viewSize), Qt::black);
}
