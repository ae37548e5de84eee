#pragma once

#include <QByteArray>

// Whether a player's answer carries image data at all. Shorter answers are
// placeholders (a missing value, an empty record) and are not decoded.
class ImageBytes
{
public:
    static constexpr qsizetype minimumSize = 5;

    static bool holdsImageData(const QByteArray &data) { return data.size() >= minimumSize; }
};
