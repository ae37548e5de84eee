#pragma once

// Pixel probes for the tests that look at rendered images.

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QRect>
#include <algorithm>
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

// An empty rectangle when no pixel passes. `area` limits the search.
template<typename Test>
QRect boundsWhere(const QImage &image, Test test, QRect area = QRect())
{
    area = area.isNull() ? image.rect() : area & image.rect();
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
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

inline QImage solid(QColor colour, QSize size = QSize(8, 8), QImage::Format format = QImage::Format_ARGB32_Premultiplied)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// A solid picture encoded as PNG: artwork bytes as a player would send them.
inline QByteArray pngBytes(const QSize &size, QColor colour)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    solid(colour, size, QImage::Format_RGB32).save(&buffer, "PNG");
    return bytes;
}

// An 8-bit RGB PNG of one grey, written without an image in memory, so
// that it may declare tens of millions of pixels in a few hundred kilobytes.
// The checksum of a PNG chunk (type and data).
inline quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray largeGreyPng(const QSize &size)
{
    const auto bigEndian = [](quint32 value) {
        const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
        return QByteArray(bytes, 4);
    };
    const auto chunk = [&](const QByteArray &type, const QByteArray &data) {
        return bigEndian(quint32(data.size())) + type + data + bigEndian(crc32(type + data));
    };
    const QByteArray header = bigEndian(quint32(size.width())) + bigEndian(quint32(size.height()))
        + QByteArray("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB
    QByteArray row(1 + 3 * qsizetype(size.width()), char(0x80));
    row[0] = 0; // no filter
    const QByteArray zlib = qCompress(row.repeated(size.height()), 6).mid(4); // without Qt's length prefix
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zlib) + chunk("IEND", {});
}

inline bool isOpaque(QRgb p)
{
    return qAlpha(p) > 127;
}

inline QRect opaqueBounds(const QImage &image)
{
    return boundsWhere(image, isOpaque);
}

// The first and last row of column x whose pixel passes; -1 when none.
template<typename Test = bool (*)(QRgb)>
QPair<int, int> columnExtent(const QImage &image, int x, Test test = isOpaque)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        if (test(image.pixel(x, y))) {
            first = first < 0 ? y : first;
            last = y;
        }
    return {first, last};
}

// The largest difference of any channel between two images of one size.
inline int maxDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 256;
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

// A rectangle of a y-up view of height H in an image's rows (y down).
inline QRect inPicture(const QRectF &rect, double H)
{
    return QRectF(rect.x(), H - rect.y() - rect.height(), rect.width(), rect.height()).toAlignedRect();
}

// Keeps the picture in $COVERLUME_SAMPLE_DIR, when set, for a look.
inline void keep(const QImage &image, const QString &name)
{
    if (const QByteArray dir = qgetenv("COVERLUME_SAMPLE_DIR"); !dir.isEmpty())
        image.save(QDir(QString::fromLocal8Bit(dir)).filePath(name + QStringLiteral(".png")));
}

} // namespace Pixels
