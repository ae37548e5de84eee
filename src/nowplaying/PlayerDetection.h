#pragma once

#include "model/PlayerId.h"
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
    bool isRunning(PlayerId player) const;
    bool isSpotifyRunning() const { return isRunning(PlayerId::Spotify); }
    bool isItunesRunning() const { return isRunning(PlayerId::ITunes); }
    bool isMusicRunning() const { return isRunning(PlayerId::Music); }

    // Runs the player's status script once and reads its answer.
    bool isPlaying(PlayerId player) const;

    // Chooses the current and preferred players and builds their scripts.
    void determinePlayer();
    // True when the current player differs from oldPlayer after a re-check.
    bool playerHasChanged(PlayerId oldPlayer);

private:
    QStringList processItems() const;

    NowPlayingState &m_state;
    PlayerScripts &m_scripts;
    DefaultsStore &m_defaults;
    BroadcasterClient &m_broadcaster;
    const ScriptSlot &m_processList;
};
