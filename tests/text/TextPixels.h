#pragma once

// Pixel helpers for the text drawing tests: render into a small image, then
// look at where the ink went.

#include "platform/AttributedTextLayout.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstdlib>

namespace TextPixels {

inline QImage render(const AttributedString &text, QSize size, QRectF rect = QRectF(),
                     QColor background = Qt::black)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter painter(&image);
    AttributedTextLayout(text).draw(&painter, rect.isNull() ? QRectF(image.rect()) : rect);
    painter.end();
    return image;
}

inline bool near(QRgb pixel, QColor colour, int tolerance)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance
        && std::abs(qGreen(pixel) - colour.green()) <= tolerance
        && std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

inline int countNear(const QImage &image, QColor colour, int tolerance = 12)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += near(image.pixel(x, y), colour, tolerance);
    return count;
}

// Pixels that differ from the background by more than a little.
inline bool isInk(QRgb pixel, QColor background)
{
    return !near(pixel, background, 40);
}

inline int inkCount(const QImage &image, QColor background = Qt::black)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += isInk(image.pixel(x, y), background);
    return count;
}

inline QRect inkBounds(const QImage &image, QColor background = Qt::black)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isInk(image.pixel(x, y), background))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

inline QRect boundsNear(const QImage &image, QColor colour, int tolerance = 12)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (near(image.pixel(x, y), colour, tolerance))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// Horizontal bands of rows that hold ink, separated by rows without: one
// per line of text (as long as the lines do not touch).
inline QList<QPair<int, int>> inkBands(const QImage &image, QColor background = Qt::black)
{
    QList<QPair<int, int>> bands;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool rowHasInk = false;
        for (int x = 0; x < image.width() && !rowHasInk; ++x)
            rowHasInk = isInk(image.pixel(x, y), background);
        if (rowHasInk && !inBand)
            bands.append({y, y});
        if (rowHasInk)
            bands.last().second = y;
        inBand = rowHasInk;
    }
    return bands;
}

inline int brightest(const QImage &image)
{
    int level = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            level = std::max(level, qGray(image.pixel(x, y)));
    return level;
}

} // namespace TextPixels
