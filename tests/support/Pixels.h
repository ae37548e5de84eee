#pragma once

// Pixel probes shared by the tests that look at rendered images: colour
// closeness, and counting or bounding the pixels that pass a test.
// Header only; any thread may call them on an image it owns.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <cstdlib>

namespace Pixels {

inline bool near(QRgb pixel, QColor colour, int tolerance = 12)
{
    return std::abs(qRed(pixel) - colour.red()) <= tolerance
        && std::abs(qGreen(pixel) - colour.green()) <= tolerance
        && std::abs(qBlue(pixel) - colour.blue()) <= tolerance;
}

template<typename Test>
int countWhere(const QImage &image, Test test)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += test(image.pixel(x, y));
    return count;
}

// An empty rectangle when no pixel passes.
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

// A solid picture encoded as PNG: artwork bytes as a player would send them.
inline QByteArray pngBytes(const QSize &size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace Pixels
