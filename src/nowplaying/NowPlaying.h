#pragma once

#include "model/LyricsSource.h"
#include "model/NowShowing.h"
#include "model/ProgressSnapshot.h"
#include "model/PlayerId.h"
#include "model/ThemeId.h"

#include <QJsonObject>
#include <QVariantMap>
#include <optional>

// The now-playing engine as the frame cycle drives it: player detection and
// switching, pause and track-change checks, progress polling. All calls run
// on the main thread inside a frame and may run player scripts.
class NowPlaying
{
public:
    virtual ~NowPlaying() = default;

    virtual PlayerId currentPlayer() const = 0;
    // The source the remote-control keys command: the one followed, also
    // while it is paused. None when nothing runs.
    virtual PlayerId preferredPlayer() const = 0;
    // No player runs (and no broadcaster is listened for).
    virtual bool noPlayer() const = 0;
    virtual void determinePlayer() = 0;
    // True when the current player now differs from oldPlayer (and the
    // engine has switched to it).
    virtual bool playerHasChanged(PlayerId oldPlayer) = 0;
    virtual bool trackHasChanged() = 0;
    virtual void pauseCheck() = 0;
    virtual void updateProgIndValues() = 0;
    // The now-playing refresh a theme's layout runs first, at the start of
    // every cycle: title, artist, album, marks, details and artwork. Returns
    // what the layout shows.
    virtual NowShowing refresh(ThemeId layout) = 0;
    // What is showing now, without asking the source again.
    virtual NowShowing nowShowing() const = 0;
    // The progress bar's values as they stand.
    virtual ProgressSnapshot takeProgress() = 0;
    // The frame cycle forgets the last progress value when it serves a trigger.
    virtual void resetLastProgressValue() = 0;
    // The broadcaster reported new data; true when it named a track, so the
    // broadcaster is now the source and the cycle should fade out.
    virtual bool acceptBroadcasterReport() = 0;

    // Adds the engine's state to a state report: "preferredPlayer", "track",
    // "artist", "album", "rating", "loved", "disliked", "progress".
    virtual void describe(QJsonObject &state) const = 0;

    // Where the Lyrics theme gets its words; the engine owns it. None: the
    // theme shows no words.
    virtual LyricsSource *lyrics() { return nullptr; }
    // Where the Lyrics theme reads on in an untimed stream's lyrics, as its
    // layout left it; the engine keeps it and starts over when the stream's
    // title changes.
    virtual void setLyricsReadingPosition(int) {}
};

// What the engine reads of the display that drives it, as plain values. The
// display implements it; every answer is read at the time of the call.
class DisplayFacts
{
public:
    virtual ~DisplayFacts() = default;
    // The display's first cycle is running.
    virtual bool firstRun() const = 0;
    // The theme shown draws a progress bar ("showProgress").
    virtual bool showProgress() const = 0;
    // The detail switches ("bitRate", "releaseYear", …) of the chosen
    // theme's own settings; none under Random or without a dictionary.
    virtual std::optional<QVariantMap> detailSwitches() const = 0;
};
