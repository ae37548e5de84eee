#pragma once

// The ten themes, as stored in the "theme" setting. Random is never shown
// itself: it resolves to the theme it rotates to ("currentRandomTheme").
enum class ThemeId : int {
    Classic = 0,
    Text = 1,
    Mosaic = 2,
    FullScreen = 3,
    Random = 4,
    AppleTV = 5,
    Lyrics = 6,
    Blur = 7,
    CoverOnly = 8,
    KenBurnsBlur = 9,
};
