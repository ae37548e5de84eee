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
    // The cover notification's data stays within this; a larger picture is
    // scaled down until its encoding fits.
    static constexpr qsizetype kMaxCoverNotificationBytes = 4 * 1024 * 1024;
    // Pictures are never made larger than this on a side.
    static constexpr int kMaxSidePixels = 16384;

    // The artwork stretched to S × S (a null image or S not above 0: null).
    static QImage sizedArtwork(const QImage &artwork, double S);
    // S wide and 1.3 S high: the artwork mirrored into the lower S at 0.6
    // opacity, the top 0.3 S clear, the mask stretched over all of it.
    static QImage reflection(const QImage &sizedArtwork, const QImage &mask, double S);
    // The label: `text` from the top of a rectangle of `size`, and for Hermes
    // the thumb picture one font size below the last line, on the text's
    // side. The picture covers `rect` of the rectangle (y-down points from
    // its top left, whole points, one pixel a point): the whole rectangle,
    // or only around what is drawn (the text's lines and the thumb, with room
    // for overhanging glyphs), which looks the same and spares clearing and
    // blending the empty rest. A size not above zero, or nothing to draw,
    // gives a 1 × 1 clear picture.
    struct Thumb
    {
        QImage image;       // null: none
        QSizeF sizePoints;  // both thumbs are placed by one size (the neither picture's)
        QSizeF drawnPoints; // the picture's own size, drawn unstretched; empty: sizePoints
    };
    enum class LabelExtent { Drawn, WholeRectangle };
    struct LabelPicture
    {
        QImage image;
        QRectF rect;
    };
    static LabelPicture label(const AttributedString &text, const QSizeF &size, bool leftAligned, float fontSize,
                              const Thumb &thumb = {}, LabelExtent extent = LabelExtent::Drawn);
    // The TIFF encoding; empty when it cannot be made.
    static QByteArray tiffData(const QImage &image);
    // The TIFF encoding within `maxBytes`: the picture as it is when it fits,
    // otherwise smoothly scaled down (shape kept) until it does; empty when
    // it cannot be made. Any thread.
    static QByteArray cappedTiffData(const QImage &image, qsizetype maxBytes = kMaxCoverNotificationBytes);

    static bool sizeIsBiggerThanZero(const QSizeF &size);
};
