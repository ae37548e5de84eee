#pragma once

#include "text/AttributedString.h"

#include <QString>
#include <optional>

// What the display knows of the track it shows. Title, artist and album
// tell none (not read, or cleared) from empty (read, but the source had no
// text): a label line is shown only for a present string, and the paused
// texts test for none.
struct TrackRecord
{
    std::optional<AttributedString> trackString;
    std::optional<AttributedString> artistString;
    std::optional<AttributedString> albumString;
    int rating = 0;
    bool loved = false;
    bool disliked = false;
    // The source told loved and disliked; when it did not, no mark shows
    // (a player that keeps no such marks is not a track marked "not loved").
    bool marksKnown = false;
    // iTunes or Music is playing a stream (the title comes from the stream).
    bool iTunesRadio = false;
    // The radio title last seen by change detection.
    QString tempCopyTrackString;
    // The progress value the previous change check saw.
    double lastProgressIndValue = 0;
    // The seeks the player's backend had seen in this track at that check.
    int seeksSeen = 0;
    int positionInLyricsForRadio = 0;

    // Extended details; an empty string is a line not shown.
    AttributedString bitrateString, bitdepthString, samplerateString, kindString;
    AttributedString releaseYearString, dateAddedString, lastPlayedString, playCountString;
};

// The progress bar's model: what the bar shows, in seconds. The engine
// writes it and hands the display a snapshot after each frame.
struct ProgressModel
{
    double maximum = 0;
    double value = 0;
    bool hidden = true;
    // The bar is part of the current theme's view tree. (The bar itself
    // tells when its values change what it draws.)
    bool inTree = true;
};
