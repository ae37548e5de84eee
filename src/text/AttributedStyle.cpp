#include "text/AttributedStyle.h"

#include <algorithm>
#include <cmath>

namespace {

// An attachment larger than this would only ask for an enormous scaled copy
// of its image; no label is that big.
constexpr double kMaxAttachmentPoints = 8192.0;
constexpr double kMaxStrokePercent = 100.0;

double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

} // namespace

QSizeF AttributedStyle::Attachment::displaySize() const
{
    QSizeF size = sizePoints;
    if (!std::isfinite(size.width()) || !std::isfinite(size.height()) || size.width() <= 0.0
        || size.height() <= 0.0)
        size = QSizeF(image.size());
    return QSizeF(std::min(size.width(), kMaxAttachmentPoints),
                  std::min(size.height(), kMaxAttachmentPoints));
}

bool AttributedStyle::Attachment::operator==(const Attachment &other) const
{
    if (sizePoints != other.sizePoints)
        return false;
    return image.cacheKey() == other.image.cacheKey() || image == other.image;
}

AttributedStyle &AttributedStyle::withForeground(const QColor &colour)
{
    foreground = colour;
    return *this;
}

AttributedStyle &AttributedStyle::withFont(const AttributedFont &value)
{
    font = value;
    return *this;
}

AttributedStyle &AttributedStyle::withStrokeWidth(double percentOfFontSize)
{
    strokeWidth = percentOfFontSize;
    return *this;
}

AttributedStyle &AttributedStyle::withKerning(double points)
{
    kerningPoints = points;
    return *this;
}

AttributedStyle &AttributedStyle::withAlignment(Alignment alignment)
{
    Paragraph value = paragraphOrDefault();
    value.alignment = alignment;
    paragraph = value;
    return *this;
}

AttributedStyle &AttributedStyle::withParagraph(const Paragraph &value)
{
    paragraph = value;
    return *this;
}

AttributedStyle &AttributedStyle::withShadow(const Shadow &value)
{
    shadow = value;
    return *this;
}

AttributedStyle &AttributedStyle::withAttachment(const Attachment &value)
{
    attachment = value;
    return *this;
}

QColor AttributedStyle::white(double level, double alpha)
{
    return QColor::fromRgbF(float(std::clamp(finiteOr(level, 0.0), 0.0, 1.0)),
                            float(std::clamp(finiteOr(level, 0.0), 0.0, 1.0)),
                            float(std::clamp(finiteOr(level, 0.0), 0.0, 1.0)),
                            float(std::clamp(finiteOr(alpha, 1.0), 0.0, 1.0)));
}

void AttributedStyle::merge(const AttributedStyle &other)
{
    if (other.strokeWidth)
        strokeWidth = other.strokeWidth;
    if (other.foreground)
        foreground = other.foreground;
    if (other.font)
        font = other.font;
    if (other.kerningPoints)
        kerningPoints = other.kerningPoints;
    if (other.paragraph)
        paragraph = other.paragraph;
    if (other.shadow)
        shadow = other.shadow;
    if (other.attachment)
        attachment = other.attachment;
}

bool AttributedStyle::isEmpty() const
{
    return !strokeWidth && !foreground && !font && !kerningPoints && !paragraph && !shadow
        && !attachment;
}

QColor AttributedStyle::foregroundOrDefault() const
{
    return foreground && foreground->isValid() ? *foreground : QColor(Qt::black);
}

AttributedFont AttributedStyle::fontOrDefault() const
{
    return font ? *font : AttributedFont();
}

double AttributedStyle::strokeWidthOrZero() const
{
    if (!strokeWidth)
        return 0.0;
    return std::clamp(finiteOr(*strokeWidth, 0.0), -kMaxStrokePercent, kMaxStrokePercent);
}

double AttributedStyle::kerningOrZero() const
{
    return kerningPoints ? finiteOr(*kerningPoints, 0.0) : 0.0;
}

AttributedStyle::Paragraph AttributedStyle::paragraphOrDefault() const
{
    Paragraph value = paragraph ? *paragraph : Paragraph();
    value.lineSpacingPoints = std::clamp(finiteOr(value.lineSpacingPoints, 0.0), 0.0,
                                         AttributedFont::kMaxSizePoints);
    return value;
}
