#pragma once

#include "model/ThemeId.h"

// What each theme does in the frame cycle, in one table.
struct ThemeEntry
{
    // How the theme finishes a frame.
    enum class Finish {
        FadeCoverAndReflection, // Classic, Cover Only: rebuild at frame 3; label, reflection, cover, bar
        FadeCover,              // Apple TV: label, cover, bar
        FadeCoverAndBackground, // Blur: as Apple TV, then the blurred background
        FadeLabel,              // Text: label shown from frame 2; label, bar
        Drift,                  // Full Screen, Ken Burns Blur: every frame; moving cover, label
        Tiles,                  // Mosaic, Lyrics: every frame; bar, label, cover
    };
    // What the drawing view of a tiled theme is.
    enum class Drawing { None, Mosaic, Lyrics };

    ThemeId id;
    const char *name;
    const char *settingsKey; // the theme's own settings dictionary
    ThemeId layoutAs;        // whose layout method lays it out
    Finish finish;
    Drawing drawing;
    bool pollsProgress;      // runs the 4-frame progress refresh
    bool coverFollowsAlpha;  // cover opacity follows the unclamped fade value
};

// The entry of a stored theme number; null for Random and numbers that name
// no theme (such a frame does nothing).
const ThemeEntry *themeEntry(ThemeId theme);
