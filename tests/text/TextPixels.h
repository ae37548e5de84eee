#pragma once

// Pixel helpers for the text drawing tests: render into a small image, then
// look at where the ink went.

#include "text/AttributedTextLayout.h"
#include "support/Pixels.h"

#include <QPainter>

namespace TextPixels {

using namespace Pixels;

inline AttributedStyle styled(QColor colour, double sizePoints)
{
    return AttributedStyle().withForeground(colour).withFont(AttributedFont::system(sizePoints));
}

inline AttributedString line(const QString &text, QColor colour = Qt::white, double sizePoints = 24)
{
    return AttributedString(text, styled(colour, sizePoints));
}

// Drawn on black into `rect` (the whole image when null).
inline QImage render(const AttributedString &text, QSize size, QRectF rect = QRectF(), qreal pixelRatio = 1)
{
    QImage image = solid(Qt::black, size * pixelRatio);
    image.setDevicePixelRatio(pixelRatio);
    QPainter painter(&image);
    AttributedTextLayout(text).draw(&painter, rect.isNull() ? QRectF(QPointF(), QSizeF(size)) : rect);
    return image;
}

// Ink: anything clearly off the black background.
inline bool isInk(QRgb pixel) { return !near(pixel, Qt::black, 40); }
inline int inkCount(const QImage &image) { return countWhere(image, isInk); }
inline QRect inkBounds(const QImage &image) { return boundsWhere(image, isInk); }

inline int brightest(const QImage &image)
{
    int level = 0;
    countWhere(image, [&](QRgb p) { level = std::max(level, qGray(p)); return false; });
    return level;
}

// Horizontal bands of rows that hold ink, separated by rows without: one
// per line of text (as long as the lines do not touch).
inline int inkBands(const QImage &image)
{
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        const bool rowHasInk = inkCount(image.copy(0, y, image.width(), 1)) > 0;
        bands += rowHasInk && !inBand;
        inBand = rowHasInk;
    }
    return bands;
}

} // namespace TextPixels
