#pragma once

#include <QHash>
#include <QSet>
#include <QString>

// Every script text the stand-in applications understand, character for
// character, and what each one asks for. A text matches only when it is
// exactly one of these: a missing space or a line feed in place of a
// carriage return makes it unknown, as the real receivers would refuse it.
// The table is built once and never changes. Any thread.
class ScriptVocabulary
{
public:
    enum class Operation {
        // System Events and the volume settings
        ProcessList, VolumeUp, VolumeDown,
        // transport
        Status, PlayPause, Play, Pause, Previous, Next,
        // current track
        Name, Artist, Album, Station, TrackTitle, Artwork, ArtworkUrl, Duration, Position,
        Rating, Loved, Disliked, StreamTitle, Lyrics, Kind, BitRate, SampleRate, BitDepth,
        Year, DateAdded, PlayedDate, PlayCount, Popularity, Url,
        // commands on the current track
        SetRating, SetLoved, SetDisliked, ThumbsUp, ThumbsDown,
        // library
        RandomArtwork,
    };

    struct Entry
    {
        QString receiver;   // a catalogue name, "System Events", or empty for the volume
        Operation operation;
        int argument = 0;   // artwork number, rating value, or 1/0 for set loved/disliked
    };

    // nullptr for a text that no stand-in understands.
    static const Entry *find(const QString &text);

    // The track fields (scenario keys) some script of this player reads or
    // writes. "duration" is always among them: it drives the timeline.
    static QSet<QString> trackKeys(const QString &receiver);

    // Whether some text asks this receiver for this operation.
    static bool understands(const QString &receiver, Operation operation);

    // Every text, for tests and for compile().
    static const QHash<QString, Entry> &all();

    // The scenario key a track operation reads; empty for the others.
    static QString trackKey(Operation operation);
};
