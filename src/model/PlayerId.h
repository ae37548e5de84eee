#pragma once

// The sources the display can follow, as stored in "preferredPlayer" and
// reported in --state. The numbers are stored values: never renumber them.
enum class PlayerId : int {
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
