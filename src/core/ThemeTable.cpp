#include "core/ThemeTable.h"

#include <array>

namespace {

using F = ThemeEntry::Finish;
using D = ThemeEntry::Drawing;

constexpr std::array<ThemeEntry, 9> kThemes = {{
    {ThemeId::Classic, "Classic", ThemeId::Classic, F::FadeCoverAndReflection, D::None, true, false},
    {ThemeId::Text, "Text", ThemeId::Text, F::FadeLabel, D::None, true, false},
    {ThemeId::Mosaic, "Mosaic", ThemeId::Mosaic, F::Tiles, D::Mosaic, true, false},
    {ThemeId::FullScreen, "Full Screen", ThemeId::FullScreen, F::Drift, D::None, true, true},
    {ThemeId::AppleTV, "Apple TV", ThemeId::AppleTV, F::FadeCover, D::None, true, false},
    {ThemeId::Lyrics, "Lyrics", ThemeId::Lyrics, F::Tiles, D::Lyrics, true, false},
    {ThemeId::Blur, "Blur", ThemeId::AppleTV, F::FadeCoverAndBackground, D::None, true, false},
    {ThemeId::CoverOnly, "Cover Only", ThemeId::CoverOnly, F::FadeCoverAndReflection, D::None, false, false},
    {ThemeId::KenBurnsBlur, "Ken Burns Blur", ThemeId::KenBurnsBlur, F::Drift, D::None, true, true},
}};

} // namespace

const ThemeEntry *themeEntry(int theme)
{
    for (const ThemeEntry &entry : kThemes) {
        if (static_cast<int>(entry.id) == theme)
            return &entry;
    }
    return nullptr;
}
