#pragma once

#include "text/AttributedString.h"

#include <QRectF>
#include <QStringList>
#include <QSizeF>
#include <memory>

class QPainter;

// Lays out and draws an AttributedString with Qt's text engine.
//
// The text is broken into paragraphs by the string itself (U+000D, U+000A,
// CR LF, U+2029; Qt would draw a lone U+000D as a space), each laid out with
// QTextLayout: word wrapping, breaking inside a word only when it fills a
// line alone; alignment from the style of the paragraph's first character;
// font leading included in every line. Attachments reserve their width on
// the line and sit on the baseline, raising the line when taller than the
// text. An empty string has size (0, 0); a break at the very end adds no line.
//
// Units are points, one point being one unit of the painter's user space;
// rectangles are in the painter's ordinary y-down space (the caller converts
// from the display's y-up coordinates).
//
// Owns a copy of the text and a cache of the last width laid out. Any thread
// that may use fonts (a QGuiApplication exists), one thread per object. Only
// the first kMaxCharacters characters are laid out.
class AttributedTextLayout
{
public:
    static constexpr int kMaxCharacters = 100000;

    explicit AttributedTextLayout(const AttributedString &text);
    ~AttributedTextLayout();
    AttributedTextLayout(AttributedTextLayout &&other) noexcept;
    AttributedTextLayout &operator=(AttributedTextLayout &&other) noexcept;

    // Size without a width limit: the widest line and the height of all lines.
    QSizeF naturalSize() const;
    // Height of the text wrapped to widthPoints; a width that is not a
    // positive finite number means no limit.
    double heightForWidth(double widthPoints) const;
    int lineCountForWidth(double widthPoints) const;

    // Draws the text from the top of rect, wrapped to its width and aligned
    // within it. Lines that would reach below the rect are left out, all but
    // the first, which is always drawn (a rect a little short for its text
    // still shows it); nothing is clipped. Draws nothing into an empty rect
    // or with a missing or inactive painter. The painter's state is kept.
    void draw(QPainter *painter, const QRectF &rect) const;

    // Draws the text fitted into rect: lines break only where a line may
    // break; every paragraph but the first keeps one line, the first takes
    // the lines left (at least one); a word wider than the line, and the
    // last line a paragraph gets when its text goes on, end in "…".
    // Paragraphs that still do not fit are left out from the end.
    void drawFitted(QPainter *painter, const QRectF &rect) const;
    // The text as drawFitted() shows it in rect: one entry per line drawn.
    QStringList fittedLines(const QSizeF &size) const;
    // Where the lines drawFitted() shows in a rect of `size` lie, relative to
    // its top left: their advance boxes, without overhangs or shadows (null
    // when nothing is drawn).
    QRectF fittedLineBounds(const QSizeF &size) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
