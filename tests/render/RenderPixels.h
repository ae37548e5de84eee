#pragma once

// Pixel helpers for the rendering tests: small solid pictures, opaque
// extents and picture differences, on top of the shared probes.

#include "support/Pixels.h"

#include <QImage>
#include <QRect>
#include <cstdlib>

namespace RenderPixels {

inline QImage solid(QColor colour, QSize size = QSize(8, 8))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

using Pixels::boundsNear;
using Pixels::boundsWhere;
using Pixels::near;

inline QRect opaqueBounds(const QImage &image)
{
    return boundsWhere(image, [](QRgb p) { return qAlpha(p) > 127; });
}

// The lit run of one column: first and last row whose alpha is over half.
inline QPair<int, int> columnExtent(const QImage &image, int x)
{
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        if (qAlpha(image.pixel(x, y)) > 127) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return {first, last};
}

// The largest difference of any channel between two images of one size.
inline int maxDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

} // namespace RenderPixels
