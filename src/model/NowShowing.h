#pragma once

#include "model/PlayerId.h"
#include "text/AttributedString.h"

#include <QImage>
#include <QList>
#include <QString>
#include <optional>

// What the display shows for one cycle, as the now-playing engine hands it
// to the stage at each layout. A value: the stage keeps it and never writes
// back to the engine.
struct NowShowing
{
    PlayerId player = PlayerId::None;
    // The player the broadcaster reports; empty unless `player` is the
    // broadcaster.
    QString broadcastPlayer;
    // The three label lines, unstyled. None (the line is left out) is kept
    // apart from empty (the line is there, with no text).
    std::optional<AttributedString> track, artist, album;
    int rating = 0;
    bool loved = false;
    bool disliked = false;
    // The source told loved and disliked: the heart shows only then.
    bool marksKnown = false;
    // While nothing plays, what the display can tell the user instead: the
    // paused text, or how to get a player going. Empty while a track plays.
    QString idleHint;
    // iTunes or Music plays a stream: no rating marks.
    bool stream = false;
    // The extended details under the label, in order, unstyled; an empty
    // line is a blank line.
    QList<AttributedString> detailLines;
    QImage artwork; // null: none

    // What the Lyrics theme pages its window by: duration and position in
    // whole seconds as the source reports them (the broadcaster's when it is
    // the source; read only for a Lyrics layout, else 0), and how far an
    // untimed stream's lyrics have been read.
    struct LyricsTiming
    {
        qint32 duration = 0;
        qint32 position = 0;
        int readingPosition = 0;
        // Finer, when the player's backend tells: the position in ms (-1:
        // unknown, use `position`) and the address of the track's file.
        qint64 positionMs = -1;
        QString location;
    };
    LyricsTiming lyricsTiming;
};
