#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What the companion reads of this computer's players, and the keys it
// forwards to them. The companion program supplies the real one; tests a
// table. Main thread only.
class PlayerSource
{
public:
    enum class Command { PlayPause, Previous, Next, VolumeUp, VolumeDown };

    // The track that plays, as the players give it. Numbers the player has
    // no answer for are 0; an empty optional is a field the player does not
    // have at all, which the report then leaves out.
    struct Track
    {
        QString playerName; // lower case: "music", "spotify", …
        QString title, artist, album, kind;
        std::optional<QString> spotifyID;
        qint32 bitRate = 0;    // kbps
        qint32 bitDepth = 0;   // bits
        qint32 sampleRate = 0; // Hz
        qint32 bookmark = 0;   // seconds played
        qint32 duration = 0;   // seconds
        qint32 rating = 0;
        std::optional<qint32> popularity;
        bool loved = false, disliked = false;
        // False when the player did not tell: the report leaves both lines out.
        bool marksKnown = true;
    };

    virtual ~PlayerSource() = default;

    // Nothing when no player plays.
    virtual std::optional<Track> playing() = 0;
    // The playing track's artwork bytes; empty when nothing plays or it has none.
    virtual QByteArray artwork() = 0;
    // Acts on the player that plays, or else the first one running; false
    // when there is none (the volume keys need no player).
    virtual bool perform(Command command) = 0;
};
