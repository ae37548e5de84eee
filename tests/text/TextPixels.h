#pragma once

// Pixel helpers for the text drawing tests: render into a small image, then
// look at where the ink went.

#include "platform/AttributedTextLayout.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstdlib>

namespace TextPixels {

inline QImage render(const AttributedString &text, QSize size, QRectF rect = QRectF())
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    AttributedTextLayout(text).draw(&painter, rect.isNull() ? QRectF(image.rect()) : rect);
    return image;
}

inline bool near(QRgb pixel, QColor colour, int tolerance)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance
        && std::abs(qGreen(pixel) - colour.green()) <= tolerance
        && std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

// Ink: anything clearly off the black background.
inline bool isInk(QRgb pixel) { return !near(pixel, Qt::black, 40); }

template<typename Test>
int countWhere(const QImage &image, Test test)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixel(x, y));
    return count;
}

template<typename Test>
QRect boundsWhere(const QImage &image, Test test)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

inline int countNear(const QImage &image, QColor colour, int tolerance = 12)
{
    return countWhere(image, [&](QRgb p) { return near(p, colour, tolerance); });
}
inline QRect boundsNear(const QImage &image, QColor colour, int tolerance = 12)
{
    return boundsWhere(image, [&](QRgb p) { return near(p, colour, tolerance); });
}
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
