#include "render/layouts/ThemeLayout.h"

#include "render/Layer.h"
#include "render/StageGeometry.h"

#include <array>
#include <utility>

void ThemeLayout::defaultSizes(StageGeometry &geometry, const QSizeF &bounds)
{
    const double H = bounds.height();
    geometry.imagesize = float(H / 2.4);
    geometry.fontsize = float(H / 35);
    geometry.margin = float(H / 20);
}

void ThemeLayout::baseSizes(StageGeometry &geometry, const QSizeF &bounds, const ThemeSettings &) const
{
    defaultSizes(geometry, bounds);
}

void ThemeLayout::add(Layer &parent, std::initializer_list<Layer *> layers)
{
    for (Layer *layer : layers)
        if (layer)
            parent.addSublayer(layer);
}

const ThemeLayout *themeLayout(ThemeId theme)
{
    using Row = std::pair<ThemeId, const ThemeLayout &(*)()>;
    static const std::array<Row, 9> rows = {{
        {ThemeId::Classic, classicLayout},
        {ThemeId::Text, textLayout},
        {ThemeId::Mosaic, mosaicLayout},
        {ThemeId::FullScreen, fullScreenLayout},
        {ThemeId::AppleTV, appleTVLayout},
        {ThemeId::Lyrics, lyricsLayout},
        {ThemeId::Blur, blurLayout},
        {ThemeId::CoverOnly, coverOnlyLayout},
        {ThemeId::KenBurnsBlur, kenBurnsBlurLayout},
    }};
    for (const Row &row : rows)
        if (row.first == theme)
            return &row.second();
    return nullptr;
}
