#include "render/LabelDetails.h"

void appendProStuffToAttrString(AttributedString &label, const QList<AttributedString> &lines,
                                const AttributedStyle::Paragraph &paragraph, bool darkBackground, ThemeId theme,
                                float fontSizePoints)
{
    const double level = darkBackground || theme != ThemeId::Blur ? 1.0 : 0.0;
    AttributedStyle style;
    style.withForeground(AttributedStyle::white(level, 0.75))
        .withFont(AttributedFont::system(0.6 * static_cast<double>(fontSizePoints)))
        .withParagraph(paragraph);
    const AttributedString lineBreak(QStringLiteral("\r"));
    for (const AttributedString &line : lines) {
        label.append(lineBreak);
        AttributedString styled = line;
        styled.setAttributes(style);
        label.append(styled);
    }
}
