#pragma once

#include "text/AttributedFont.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <optional>

// The attributes of one run of attributed text. Every attribute is optional:
// an absent one reads as the platform's default (black, the system font at
// 12 points, no stroke, no extra kerning, left-aligned paragraph, no shadow,
// no attachment). Value type, any thread.
//
// Units are points (painter units). Directions are those of the painter's
// ordinary y-down space: a shadow offset of (1, 1) falls right and down.
struct AttributedStyle
{
    enum class Alignment { Left, Right, Centre };

    struct Paragraph
    {
        Alignment alignment = Alignment::Left;
        double lineSpacingPoints = 0.0; // extra space between two lines
        bool operator==(const Paragraph &other) const = default;
    };

    struct Shadow
    {
        QPointF offsetPoints;
        double blurRadiusPoints = 0.0;
        QColor colour = QColor(0, 0, 0, 85); // black at a third, the platform's default
        bool operator==(const Shadow &other) const = default;
    };

    // An image shown in place of one U+FFFC character, sitting on the
    // baseline. An empty display size means the image's own size.
    struct Attachment
    {
        QImage image;
        QSizeF sizePoints;
        QSizeF displaySize() const;
        bool operator==(const Attachment &other) const;
    };

    // Percentage of the font size, as the platform's stroke width: negative
    // fills and outlines the glyphs, positive outlines them only.
    std::optional<double> strokeWidth;
    std::optional<QColor> foreground;
    std::optional<AttributedFont> font;
    std::optional<double> kerningPoints; // extra space after every character
    std::optional<Paragraph> paragraph;
    std::optional<Shadow> shadow;
    std::optional<Attachment> attachment;

    // Builders, so a style reads as one expression.
    AttributedStyle &withForeground(const QColor &colour);
    AttributedStyle &withFont(const AttributedFont &value);
    AttributedStyle &withStrokeWidth(double percentOfFontSize);
    AttributedStyle &withKerning(double points);
    AttributedStyle &withAlignment(Alignment alignment);
    AttributedStyle &withParagraph(const Paragraph &value);
    AttributedStyle &withShadow(const Shadow &value);
    AttributedStyle &withAttachment(const Attachment &value);

    // Device white level with an alpha, as the label styling names colours.
    static QColor white(double level, double alpha = 1.0);

    // Sets every attribute present in `other` over this one's.
    void merge(const AttributedStyle &other);
    bool isEmpty() const;

    // Readings with the defaults filled in.
    QColor foregroundOrDefault() const;
    AttributedFont fontOrDefault() const;
    double strokeWidthOrZero() const;
    double kerningOrZero() const;
    Paragraph paragraphOrDefault() const;

    bool operator==(const AttributedStyle &other) const = default;
};
