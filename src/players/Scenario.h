#pragma once

#include "platform/ScriptResult.h"
#include "players/PlayState.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// What the stand-in players start with and what happens to them, as read
// from a scenario file (the format is described in docs/scenarios.md).
// Plain values: parse() checks everything a file may get wrong, so the
// players never meet a value out of range. Images are read when the file is
// parsed and kept as bytes. Any thread; no shared state.
struct Scenario
{
    // Untrusted sizes are capped.
    static constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
    static constexpr qint64 maxImageBytes = 20 * 1024 * 1024;
    static constexpr qint64 maxAllImageBytes = 256 * 1024 * 1024; // distinct files together
    static constexpr int maxTracks = 1000;      // all players' tracks together, inline ones included
    static constexpr int maxEvents = 1000;
    static constexpr int maxArtworksPerTrack = 6;
    static constexpr int maxLibraryCovers = 1000;
    static constexpr int maxProcesses = 1000;
    static constexpr int maxNameLength = 255;
    static constexpr int maxTextLength = 64 * 1024; // longer texts are cut, as a real player's are
    static constexpr double maxSeconds = 1e9;
    static constexpr qint64 maxFrame = qint64(1) << 40;

    // The text an artwork URL may hold in place of "host:port", filled in by
    // SimulatedPlayers::setServerAddress (default "127.0.0.1").
    static constexpr QLatin1String serverPlaceholder{"{server}"};

    struct Track
    {
        QString name, artist, album;
        qint64 durationMs = 0;        // 0: a stream, which never ends
        QList<QByteArray> artworks;   // file bytes, front artwork first
        QString artworkUrl;           // may hold the server placeholder
        qint64 rating = 0;
        bool loved = false;
        bool disliked = false;
        std::optional<QString> streamTitle; // nothing: not a stream
        QString lyrics, kind, url;
        QString location; // a "file://" address of the track's file; empty: none
        qint64 bitRate = 0, sampleRate = 0, bitDepth = 0, year = 0, playCount = 0, popularity = 0;
        QDateTime dateAdded, playedDate; // invalid: the player answers a missing value
    };

    struct Player
    {
        QString name;          // catalogue name
        QString processName;   // as the process list reports it
        bool running = true;
        PlayState state = PlayState::Stopped;
        QMap<PlayState, ScriptResult> statusAnswers; // overrides; a none result means no answer
        int track = 0;         // index of the current track
        qint64 positionMs = 0; // in the current track
        QList<Track> tracks;
        std::optional<QList<QByteArray>> library; // nothing: the library is the player's tracks
    };

    enum class Action { Pause, Resume, Stop, Next, Previous, Seek, Track, Quit, Launch };

    struct Event
    {
        qint64 frame = 0;
        int player = 0;                  // index into players
        Action action = Action::Pause;
        qint64 positionMs = 0;           // seek; track (start position)
        int trackIndex = -1;             // track: an index into the player's list ...
        std::optional<Track> track;      // ... or a track added to it
        PlayState launchState = PlayState::Stopped;
    };

    // What happens at the display itself: a key chord the user presses
    // ("Alt+4", "Ctrl+S", "Num+4" for the keypad), or the idle time the
    // desktop reports from that frame on.
    struct DisplayEvent
    {
        qint64 frame = 0;
        QString key;       // empty: an idle event
        qint64 idleMs = 0;
    };

    int volume = 50;
    QStringList processes;  // running processes that are no player
    QList<Player> players;
    QList<Event> events;    // by frame; events of one frame in file order
    QList<DisplayEvent> displayEvents; // by frame, then file order; counted with events

    // Refuses a bad file with one line naming the file, the place in it and
    // what is wrong: "demo.json: players[1].tracks[0].duration: expected a
    // number"; control characters from the file (a key's newline) are shown
    // escaped. fileName names the source in messages; relative image paths
    // are resolved against its directory.
    static std::optional<Scenario> parse(const QByteArray &json, const QString &fileName, QString *error);
    static std::optional<Scenario> load(const QString &path, QString *error);
};
