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

// The sources the display can follow, as stored in "preferredPlayer".
namespace PlayerId {
enum : int {
    None = 0,
    Spotify = 1,
    ITunes = 2,
    Snowtape = 3,
    Ecoute = 4,
    Rdio = 5,
    Radium = 6,
    Swinsian = 7,
    Broadcaster = 8,
    Hermes = 9,
    AirfoilSatellite = 10,
    Audirvana = 11,
    Music = 12,
};
}
