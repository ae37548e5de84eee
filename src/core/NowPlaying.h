#pragma once

#include "model/PlayerId.h"
#include "model/ThemeId.h"

#include <QJsonObject>

// The now-playing engine as the frame cycle drives it: player detection and
// switching, pause and track-change checks, progress polling. All calls run
// on the main thread inside a frame and may run player scripts.
class NowPlaying
{
public:
    virtual ~NowPlaying() = default;

    virtual PlayerId currentPlayer() const = 0;
    virtual void determinePlayer() = 0;
    // True when the current player now differs from oldPlayer (and the
    // engine has switched to it).
    virtual bool playerHasChanged(PlayerId oldPlayer) = 0;
    virtual bool trackHasChanged() = 0;
    virtual void pauseCheck() = 0;
    virtual void updateProgIndValues() = 0;
    // The now-playing refresh a theme's layout runs first, at the start of
    // every cycle: title, artist, album, marks, details and artwork.
    virtual void refresh(ThemeId layout) = 0;
    // The frame cycle forgets the last progress value when it serves a trigger.
    virtual void resetLastProgressValue() = 0;
    // The broadcaster reported new data; true when it named a track, so the
    // broadcaster is now the source and the cycle should fade out.
    virtual bool acceptBroadcasterReport() = 0;

    // Adds the engine's state to a state report: "preferredPlayer", "track",
    // "artist", "album", "rating", "loved", "disliked", "progress".
    virtual void describe(QJsonObject &state) const = 0;
};
