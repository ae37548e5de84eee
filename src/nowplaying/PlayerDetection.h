#pragma once

#include "nowplaying/ScriptSlots.h"

#include <QStringList>

class BroadcasterClient;
class DefaultsStore;
class PlayerScripts;
struct NowPlayingState;

// Which players run, which of them plays, and which one the display follows.
// Every answer comes from the players' scripts: the process list and each
// player's status script. Main thread only.
class PlayerDetection
{
public:
    PlayerDetection(NowPlayingState &state, PlayerScripts &scripts, DefaultsStore &defaults,
                    BroadcasterClient &broadcaster, const ScriptSlot &processList);

    // The running processes' names, trimmed of quotes, apostrophes and spaces.
    QStringList runningProcessesArray() const;
    // Whether a player's process runs (whole name, any case); one process
    // list run per call.
    bool isRunning(int player) const;
    bool isSpotifyRunning() const { return isRunning(1); }
    bool isItunesRunning() const { return isRunning(2); }
    bool isMusicRunning() const { return isRunning(12); }

    // Runs the player's status script once and reads its answer.
    bool isPlaying(int player) const;

    // Chooses the current and preferred players and builds their scripts.
    void determinePlayer();
    // True when the current player differs from oldPlayer after a re-check.
    bool playerHasChanged(int oldPlayer);

private:
    QStringList processItems() const;

    NowPlayingState &m_state;
    PlayerScripts &m_scripts;
    DefaultsStore &m_defaults;
    BroadcasterClient &m_broadcaster;
    const ScriptSlot &m_processList;
};
