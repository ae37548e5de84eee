#pragma once

#include "nowplaying/TrackRecord.h"

// Which source the display follows and what it shows of it.
struct NowPlayingState
{
    // The source shown: a player id, 8 for the broadcaster, 0 for none
    // (nothing plays).
    int currentPlayer = 0;
    // The player followed while nothing plays: polled by the pause check and
    // named by the paused texts.
    int preferredPlayer = 0;
    // No supported player runs and the broadcaster is not listened for.
    bool noPlayer = false;
    TrackRecord track;
    ProgressModel progress;
};

// Player ids that are local player applications (not none, not the
// broadcaster).
inline bool isLocalPlayer(int player)
{
    return (player >= 1 && player <= 7) || (player >= 9 && player <= 12);
}
