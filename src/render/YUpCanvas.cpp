#include "render/YUpCanvas.h"

#include "text/AttributedTextLayout.h"

YUpCanvas::YUpCanvas(QImage &image, const QSizeF &sizePoints)
    : m_painter(&image)
    , m_size(sizePoints)
{
    const double sx = sizePoints.width() > 0 ? image.width() / sizePoints.width() : 1.0;
    const double sy = sizePoints.height() > 0 ? image.height() / sizePoints.height() : 1.0;
    m_scale = QTransform::fromScale(sx, sy);
    m_base = QTransform(sx, 0, 0, -sy, 0, image.height());
    m_painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    apply();
}

void YUpCanvas::concat(const QTransform &transform)
{
    m_user = transform * m_user;
    apply();
}

void YUpCanvas::setTransform(const QTransform &userTransform)
{
    m_user = userTransform;
    apply();
}

void YUpCanvas::apply()
{
    m_painter.setWorldTransform(m_user * m_base);
}

void YUpCanvas::fill(const QColor &colour, QPainter::CompositionMode mode)
{
    m_painter.save();
    m_painter.resetTransform();
    m_painter.setCompositionMode(mode);
    const QPaintDevice *device = m_painter.device();
    m_painter.fillRect(QRect(0, 0, device->width(), device->height()), colour);
    m_painter.restore();
}

void YUpCanvas::drawImage(const QRectF &rect, const QImage &image, double opacity, QPainter::CompositionMode mode)
{
    if (image.isNull() || rect.isEmpty())
        return;
    m_painter.save();
    m_painter.setOpacity(opacity);
    m_painter.setCompositionMode(mode);
    // Upright in y-up coordinates: the image's first row at the rect's top.
    m_painter.setWorldTransform(QTransform(1, 0, 0, -1, 0, rect.y() + rect.height()) * m_user * m_base);
    m_painter.drawImage(QRectF(rect.x(), 0, rect.width(), rect.height()), image);
    m_painter.restore();
}

void YUpCanvas::drawText(const AttributedString &text, const QRectF &rect, TextFit fit)
{
    m_painter.save();
    m_painter.setWorldTransform(m_scale);
    if (fit == TextFit::Fitted)
        AttributedTextLayout(text).drawFitted(&m_painter, toYDown(rect));
    else
        AttributedTextLayout(text).draw(&m_painter, toYDown(rect));
    m_painter.restore();
}

QRectF YUpCanvas::toYDown(const QRectF &rect) const
{
    return QRectF(rect.x(), m_size.height() - rect.y() - rect.height(), rect.width(), rect.height());
}
