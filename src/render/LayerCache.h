#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QTransform>

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

    void dropImages()
    {
        image = QImage();
        prescaled = QImage();
        valid = false;
    }
};
