#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QTransform>
#include <memory>
#include <new>

// What the compositor keeps for one layer between frames. Owned by the layer
// (so it dies with it), read and written only by LayerTree and Compositor.
struct LayerCache
{
    // The layer's contents (or its own drawing) as they land on the device:
    // `image` covers the device pixels `deviceRect` under `deviceTransform`
    // (local y-down points to device pixels) for `sourceVersion` and
    // `sourceSize`.
    QImage image;
    QRect deviceRect;
    QTransform deviceTransform;
    quint64 sourceVersion = 0;
    QSizeF sourceSize;
    // `image` holds deviceRect at this fraction of its pixels.
    double resolution = 1.0;
    bool valid = false;

    // Contents scaled down once to about the size they are drawn at, so the
    // projection samples a picture near its final size.
    QImage prescaled;
    QSize prescaledSize;
    quint64 prescaledVersion = 0;

    // Where the layer itself (not its children) was drawn in the picture last
    // presented, in view points, y-down; empty when it drew nothing.
    QRectF presentedRect;

    // Said once, not every frame, while a layer is turned past the eye.
    bool warnedUnprojectable = false;

    // The memory `image` lives in, kept from one projection to the next: a
    // layout re-projects layers of about the same size, and fresh memory
    // costs a page fault a page.
    std::unique_ptr<uchar[]> buffer;
    qsizetype bufferBytes = 0;

    // Points `image` at `size` pixels (its contents undefined) in the buffer,
    // growing it when too small and giving it back when far too large.
    // False when the memory cannot be had.
    bool reuseBuffer(const QSize &size)
    {
        image = QImage();
        const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
        const qsizetype needed = bytesPerLine * size.height();
        if (size.isEmpty() || size.width() > 32768 || size.height() > 32768)
            return false;
        if (needed > bufferBytes || needed < bufferBytes / 4) {
            buffer.reset();
            bufferBytes = 0;
            buffer.reset(new (std::nothrow) uchar[size_t(needed)]);
            if (!buffer)
                return false;
            bufferBytes = needed;
        }
        image = QImage(buffer.get(), size.width(), size.height(), bytesPerLine, QImage::Format_ARGB32_Premultiplied);
        return !image.isNull();
    }

    void dropImages()
    {
        image = QImage();
        buffer.reset();
        bufferBytes = 0;
        prescaled = QImage();
        valid = false;
    }
};
