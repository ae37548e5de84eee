#pragma once

#include "model/PlayerTable.h"
#include "nowplaying/TrackRecord.h"

// Which source the display follows and what it shows of it.
struct NowPlayingState
{
    // The source shown: a player, the broadcaster, or none (nothing plays).
    PlayerId currentPlayer = PlayerId::None;
    // The player followed while nothing plays: polled by the pause check and
    // named by the paused texts.
    PlayerId preferredPlayer = PlayerId::None;
    // No supported player runs and the broadcaster is not listened for.
    bool noPlayer = false;
    TrackRecord track;
    ProgressModel progress;

    bool nothingPlays() const { return currentPlayer == PlayerId::None; }
    bool broadcasterPlays() const { return currentPlayer == PlayerId::Broadcaster; }
    // The current player's row; null for none and the broadcaster.
    const PlayerTable::Facts *current() const { return PlayerTable::find(currentPlayer); }
};

using PlayerTable::isLocalPlayer;
