#pragma once

#include "text/AttributedString.h"

#include <QByteArray>
#include <QImage>
#include <QSizeF>

// The pictures a layout makes once per cycle and hands to the layers: the
// artwork at its displayed size, its reflection, the label, and the TIFF
// data of the cover notification. One point is one pixel. Any thread that
// may use fonts, no state.
class StageImages
{
public:
    // Above this the cover notification goes without its data.
    static constexpr qsizetype kMaxCoverNotificationBytes = 16 * 1024 * 1024;
    // Pictures are never made larger than this on a side.
    static constexpr int kMaxSidePixels = 16384;

    // The artwork stretched to S × S (a null image or S not above 0: null).
    static QImage sizedArtwork(const QImage &artwork, double S);
    // S wide and 1.3 S high: the artwork mirrored into the lower S at 0.6
    // opacity, the top 0.3 S clear, the mask stretched over all of it.
    static QImage reflection(const QImage &sizedArtwork, const QImage &mask, double S);
    // The label: `text` from the top of the image, and for Hermes the thumb
    // picture one font size below the last line, on the text's side. A size
    // not above zero draws nothing (the image is still made, 1 × 1 clear).
    struct Thumb
    {
        QImage image;       // null: none
        QSizeF sizePoints;  // both thumbs are placed by one size (the neither picture's)
        QSizeF drawnPoints; // the picture's own size, drawn unstretched; empty: sizePoints
    };
    static QImage label(const AttributedString &text, const QSizeF &size, bool leftAligned, float fontSize,
                        const Thumb &thumb = {});
    // The TIFF encoding; empty when it cannot be made.
    static QByteArray tiffData(const QImage &image);

    static bool sizeIsBiggerThanZero(const QSizeF &size);
};
