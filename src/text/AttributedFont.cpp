#include "text/AttributedFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <algorithm>
#include <cmath>

namespace {

double sanitisedSize(double sizePoints)
{
    if (!std::isfinite(sizePoints) || sizePoints <= 0.0)
        return AttributedFont::kDefaultSizePoints;
    return std::min(sizePoints, AttributedFont::kMaxSizePoints);
}

// Point sizes given to QFont are scaled by the font system's resolution
// (the screen's logical DPI, 96 under the offscreen platform). Ask the font
// system itself what 72 points come to, so that our points stay painter
// units whatever the screen says.
double fontPixelsPerPoint()
{
    QFont probe;
    probe.setPointSizeF(72.0);
    const int pixels = QFontInfo(probe).pixelSize();
    return pixels > 0 ? pixels / 72.0 : 1.0;
}

} // namespace

AttributedFont::AttributedFont() = default;

AttributedFont::AttributedFont(const QString &family, double sizePoints, bool bold)
    : m_family(family), m_sizePoints(sanitisedSize(sizePoints)), m_bold(bold)
{
}

AttributedFont AttributedFont::system(double sizePoints, bool bold)
{
    return AttributedFont(QString(), sizePoints, bold);
}

AttributedFont AttributedFont::named(const QString &family, double sizePoints, bool bold)
{
    return AttributedFont(family.trimmed(), sizePoints, bold);
}

QString AttributedFont::resolvedFamily() const
{
    if (!isSystem())
        return m_family;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont AttributedFont::toQFont(double kerningPoints) const
{
    QFont font = isSystem() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont)
                            : QFont(m_family);
    font.setPointSizeF(m_sizePoints / fontPixelsPerPoint());
    font.setWeight(m_bold ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    if (std::isfinite(kerningPoints) && kerningPoints != 0.0)
        font.setLetterSpacing(QFont::AbsoluteSpacing,
                              std::clamp(kerningPoints, -kMaxSizePoints, kMaxSizePoints));
    return font;
}
