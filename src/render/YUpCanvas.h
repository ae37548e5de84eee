#pragma once

#include "text/AttributedString.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QTransform>

// Drawing into an image in the display's own coordinates: points, y up,
// origin at the bottom left, as the layouts build the label and reflection
// pictures. Transforms concatenated here act in those coordinates (a mirror
// (1, 0, 0, −1, 0, h) turns the picture upside down), and images are drawn
// upright in the current coordinates, as the layouts expect.
//
// Borrows the image for its lifetime (the painter ends with it). The image's
// size in points is `sizePoints`; its pixels may be finer. Any thread, one
// object per thread.
class YUpCanvas
{
public:
    YUpCanvas(QImage &image, const QSizeF &sizePoints);

    QPainter &painter() { return m_painter; }
    QSizeF size() const { return m_size; }

    // The transform runs before the ones already concatenated.
    void concat(const QTransform &transform);
    void setTransform(const QTransform &userTransform); // replaces what was concatenated
    QTransform userTransform() const { return m_user; }

    void fill(const QColor &colour, QPainter::CompositionMode mode = QPainter::CompositionMode_Source);
    // Draws `image` stretched upright into `rect` (y-up points).
    void drawImage(const QRectF &rect, const QImage &image, double opacity = 1.0,
                   QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver);
    // Draws text from the top of `rect` (y-up points), upright. The
    // concatenated transforms do not apply to text.
    // Fitted: the label's rules (AttributedTextLayout::drawFitted).
    enum class TextFit { Wrapped, Fitted };
    void drawText(const AttributedString &text, const QRectF &rect, TextFit fit = TextFit::Wrapped);
    // A y-up rectangle in y-down points of the same image.
    QRectF toYDown(const QRectF &rect) const;

private:
    void apply();

    QPainter m_painter;
    QSizeF m_size;
    QTransform m_scale; // points to the image's pixels
    QTransform m_base;  // y-up points to the image's pixels
    QTransform m_user;
};
