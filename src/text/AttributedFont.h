#pragma once

#include <QFont>
#include <QString>

// A font as attributed text names it: a family (none means the system font),
// a size in points and a weight. Value type; any thread may hold one, but
// toQFont() needs a QGuiApplication (it asks the font database).
//
// A size that is not a positive finite number reads as 12 points, the
// platform's default text size; sizes above kMaxSizePoints are capped so a
// stray setting cannot ask the rasteriser for glyphs metres high.
// Families resolve through fontconfig, so "Arial" and "Times New Roman"
// draw with their metric-compatible stand-ins where those are installed.
class AttributedFont
{
public:
    static constexpr double kDefaultSizePoints = 12.0;
    static constexpr double kMaxSizePoints = 2048.0;

    AttributedFont(); // the system font at 12 points, regular weight
    static AttributedFont system(double sizePoints, bool bold = false);
    static AttributedFont named(const QString &family, double sizePoints, bool bold = false);

    bool isSystem() const { return m_family.isEmpty(); }
    QString family() const { return m_family; } // empty for the system font
    QString resolvedFamily() const;              // the system font's family filled in
    double sizePoints() const { return m_sizePoints; }
    bool isBold() const { return m_bold; }

    // A QFont that, laid out without a paint device, is sizePoints pixels
    // high (one point is one unit of the painter's user space) and adds
    // kerningPoints after every character.
    QFont toQFont(double kerningPoints = 0.0) const;

    bool operator==(const AttributedFont &other) const = default;

private:
    AttributedFont(const QString &family, double sizePoints, bool bold);

    QString m_family;
    double m_sizePoints = kDefaultSizePoints;
    bool m_bold = false;
};
