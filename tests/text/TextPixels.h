#pragma once

// Pixel helpers for the text drawing tests: render into a small image, then
// look at where the ink went.

#include "platform/AttributedTextLayout.h"
#include "support/Pixels.h"

#include <QPainter>

namespace TextPixels {

using namespace Pixels;

inline QImage render(const AttributedString &text, QSize size, QRectF rect = QRectF())
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    AttributedTextLayout(text).draw(&painter, rect.isNull() ? QRectF(image.rect()) : rect);
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
inline QList<QPair<int, int>> inkBands(const QImage &image)
{
    QList<QPair<int, int>> bands;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        const bool rowHasInk = inkCount(image.copy(0, y, image.width(), 1)) > 0;
        if (rowHasInk && !inBand)
            bands.append({y, y});
        if (rowHasInk)
            bands.last().second = y;
        inBand = rowHasInk;
    }
    return bands;
}

} // namespace TextPixels
