#pragma once

#include "text/AttributedStyle.h"

#include <QGlyphRun>
#include <QImage>
#include <QList>
#include <QRectF>

class QPainter;

// Paints one piece of a laid-out line: the glyphs of one attribute run, or
// one attachment image, with the run's colour, stroke and shadow. Coordinates
// are those the painter is given (AttributedTextLayout translates to the
// layout's origin first). Stateless; any thread that may paint.
class AttributedRunPainter
{
public:
    struct Piece
    {
        QList<QGlyphRun> glyphs; // text pieces
        QRectF imageRect;        // attachment pieces: where the image goes
        QImage image;
        AttributedStyle style;

        bool isAttachment() const { return !image.isNull(); }
    };

    // The area the piece may ink, stroke included, shadow not.
    static QRectF inkBounds(const Piece &piece);
    static void paint(QPainter *painter, const Piece &piece);
    // The piece's shadow, if its style has one; paint it before the pieces
    // of its line so that no shadow falls over text.
    static void paintShadow(QPainter *painter, const Piece &piece);

private:
    static void paintGlyphs(QPainter *painter, const Piece &piece);
};
