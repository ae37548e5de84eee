#pragma once

#include "model/PlayerId.h"
#include "nowplaying/ScriptSlots.h"
#include "platform/ScriptService.h"

#include <QString>
#include <functional>

class NotificationCenter;
class ScriptService;

// The player catalogue's scripts: builds each player's status, transport and
// track-data scripts into the slots, and registers for the notifications of
// the players that send them (Spotify, iTunes, Music).
//
// The observer address is the display view's, so that removing the view
// from the distributed centre removes these registrations too. Every
// registered player notification calls onPlayerNotification with the
// notification's name. Main thread only.
class PlayerScripts
{
public:
    PlayerScripts(ScriptService &service, NotificationCenter &distributedCenter,
                  const void *observer, std::function<void(const QString &)> onPlayerNotification);

    ScriptSlots slots;
    // Whose track-data set the slots hold.
    PlayerId scriptsSetUpFor = PlayerId::None;
    // Which of a track's artworks to show next; the iTunes and Music sets
    // start it at 1.
    quint64 artworkNumber = 0;

    // Status (if empty), extra "if empty" slots, and always the transport
    // slots of a player. Does nothing for none, the broadcaster or unknown ids.
    void setUpSomePlayerSpecificScriptsForPlayer(PlayerId player);

    // The track-data set of one player; free when it is already built.
    void setUpSpotifyScripts();
    void setUpiTunesScripts();
    void setUpMusicScripts();
    void setUpSnowtapeScripts();
    void setUpEcouteScripts();
    void setUpRdioScripts();
    void setUpRadiumScripts();
    void setUpSwinsianScripts();
    void setUpHermesScripts();
    void setUpAirfoilScripts();
    void setUpAudirvanaScripts();
    // The set operation of a player; does nothing for none, the broadcaster
    // or unknown ids.
    void setUpScriptsForPlayer(PlayerId player);

    // The process name a player is matched by ("Spotify", "iTunes", …);
    // empty for none, the broadcaster and unknown ids.
    static QString processName(PlayerId player);
    // What the script service knows of a player beyond its scripts (its
    // identity, seeks in its track, its current track's file, a finer
    // position); for none and the broadcaster only why the service sees no
    // player, if it knows.
    PlayerFacts playerFacts(PlayerId player) const;


private:
    ScriptSlot make(const QString &source);
    void observe(const QString &notificationName);

    ScriptService &m_service;
    NotificationCenter &m_distributed;
    const void *m_observer;
    std::function<void(const QString &)> m_onPlayerNotification;
};
