#pragma once

#include "model/ThemeId.h"
#include "text/AttributedString.h"
#include "text/AttributedStyle.h"

#include <QList>

// Appends the detail lines to a label, each after an unstyled line break,
// smaller (0.6 F, system font) and slightly transparent (alpha 0.75), in the
// label's paragraph alignment. An empty line is a blank line. White, or
// black for Blur on a light background.
void appendProStuffToAttrString(AttributedString &label, const QList<AttributedString> &lines,
                                const AttributedStyle::Paragraph &paragraph, bool darkBackground, ThemeId theme,
                                float fontSizePoints);
