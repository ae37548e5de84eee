#pragma once

#include <QImage>
#include <QSize>

// The blurred wash of the artwork behind the Blur theme and as the Ken Burns
// Blur picture: the artwork averaged down to a few pixels, then enlarged
// with the Lanczos resampler, which smooths it into a wash of its colours.
// Pure functions, any thread that may use QImage.
namespace BlurBackground {

// The artwork averaged to `pixels` (3 × 2 for Blur, 12 × 8 for Ken Burns
// Blur) by area, replacing, at full opacity. Null for a null artwork.
QImage reduce(const QImage &artwork, QSize pixels);
// The mean HSB brightness, max(R, G, B), of the picture's pixels, 0 … 1.
float meanBrightness(const QImage &picture);
// Light text belongs over it: the mean brightness is not above 0.5.
bool isDark(float brightness);

struct Wash
{
    QImage image; // null when there is no artwork or no size
    bool dark = true;
};
// The whole step: reduced, judged, enlarged to `view`.
Wash make(const QImage &artwork, QSize reduced, QSize view);

// The last wash made, given again while the artwork (recognised by its
// pixels: a player's cover is decoded afresh on every refresh) and the sizes
// stay the same, so a cycle of the same track costs no enlargement and the
// layer keeps its picture. One per stage.
class Memo
{
public:
    const Wash &wash(const QImage &artwork, QSize reduced, QSize view);

private:
    QImage m_artwork;
    QSize m_reduced;
    QSize m_view;
    Wash m_wash;
};

} // namespace BlurBackground
