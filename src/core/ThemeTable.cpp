#include "core/ThemeTable.h"

#include <array>

namespace {

using F = ThemeEntry::Finish;
using D = ThemeEntry::Drawing;

constexpr std::array<ThemeEntry, 9> kThemes = {{
    {ThemeId::Classic, "Classic", "classicSettings", ThemeId::Classic, F::FadeCoverAndReflection, D::None, true, false},
    {ThemeId::Text, "Text", "textSettings", ThemeId::Text, F::FadeLabel, D::None, true, false},
    {ThemeId::Mosaic, "Mosaic", "mosaicSettings", ThemeId::Mosaic, F::Tiles, D::Mosaic, true, false},
    {ThemeId::FullScreen, "Full Screen", "fullscreenSettings", ThemeId::FullScreen, F::Drift, D::None, true, true},
    {ThemeId::AppleTV, "Apple TV", "appleTVSettings", ThemeId::AppleTV, F::FadeCover, D::None, true, false},
    {ThemeId::Lyrics, "Lyrics", "lyricsSettings", ThemeId::Lyrics, F::Tiles, D::Lyrics, true, false},
    {ThemeId::Blur, "Blur", "blurSettings", ThemeId::AppleTV, F::FadeCoverAndBackground, D::None, true, false},
    {ThemeId::CoverOnly, "Cover Only", "coverSettings", ThemeId::CoverOnly, F::FadeCoverAndReflection, D::None, false, false},
    {ThemeId::KenBurnsBlur, "Ken Burns Blur", "kenburnsblurSettings", ThemeId::KenBurnsBlur, F::Drift, D::None, true, true},
}};

} // namespace

const ThemeEntry *themeEntry(ThemeId theme)
{
    for (const ThemeEntry &entry : kThemes) {
        if (entry.id == theme)
            return &entry;
    }
    return nullptr;
}
