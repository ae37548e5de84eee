#include "render/BlurBackground.h"

#include "render/Resample.h"

#include <algorithm>

QImage BlurBackground::reduce(const QImage &artwork, QSize pixels)
{
    if (artwork.isNull() || pixels.isEmpty())
        return QImage();
    // Qt's smooth scaling averages the area each pixel covers when it
    // reduces, which is what a thumbnail of the colours needs.
    return artwork.convertToFormat(QImage::Format_ARGB32_Premultiplied)
        .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

float BlurBackground::meanBrightness(const QImage &picture)
{
    if (picture.isNull())
        return 0.0f;
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    float sum = 0.0f;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            sum += float(std::max({qRed(line[x]), qGreen(line[x]), qBlue(line[x])})) / 255.0f;
    }
    return sum / float(image.width() * image.height());
}

bool BlurBackground::isDark(float brightness)
{
    return !(brightness > 0.5f);
}

BlurBackground::Wash BlurBackground::make(const QImage &artwork, QSize reduced, QSize view)
{
    Wash wash;
    const QImage small = reduce(artwork, reduced);
    if (small.isNull())
        return wash;
    wash.dark = isDark(meanBrightness(small));
    wash.image = Resample::lanczos3(small, view);
    return wash;
}

const BlurBackground::Wash &BlurBackground::Memo::wash(const QImage &artwork, QSize reduced, QSize view)
{
    const bool same = reduced == m_reduced && view == m_view && artwork.isNull() == m_artwork.isNull()
        && (artwork.cacheKey() == m_artwork.cacheKey()
            || (artwork.size() == m_artwork.size() && artwork.format() == m_artwork.format() && artwork == m_artwork));
    if (!same) {
        m_wash = make(artwork, reduced, view);
        m_reduced = reduced;
        m_view = view;
    }
    m_artwork = artwork; // the next comparison is then by key alone
    return m_wash;
}
