#pragma once

#include "model/PlayerId.h"
#include "platform/ScriptResult.h"

#include <QString>
#include <QStringView>
#include <array>
#include <span>

// What the display knows of each player application, one row per player:
// how it is found among the processes, how its status script answers,
// how it counts durations and ratings, which marks it keeps, whether it is
// a radio, what the paused label says and which notification it sends.
// The behaviour that differs from player to player reads these facts; the
// script texts themselves live with the scripts. Constant; any thread.
namespace PlayerTable {

// How a status script answers.
enum class StatusStyle {
    StateCodes,  // "kPSP" playing, "kPSp" paused, "kPSS" stopped
    Playing,     // a boolean: true while playing
    HermesWords, // "play", "pause", "stop"
    EcouteCodes, // "PSTl" playing, "PSTp" paused, "PSTs" stopped
    TrackTitle,  // the title while playing, empty text otherwise
};

enum class DurationUnit { Seconds, Milliseconds };

// What the rating value means and which marks show it.
enum class RatingStyle {
    None,       // no rating is read or shown
    Stars100,   // stars, reported 0 … 100 (20 a star)
    Stars5,     // stars, reported 0 … 5
    Popularity, // popularity pipes, reported 0 … 100
    Thumbs,     // a thumb picture: 1 up, 0 none
};

// Where the artwork of the current track comes from.
enum class ArtworkSource {
    Data,            // image data from the artwork script
    DataThenAddress, // image data, else the address the player names (remembered for random covers)
    Library,         // the library's artworks of the track, in turn
    Address,         // an address to download; the artwork script tells no data
};

// Marks a player puts around titles, trimmed before they are shown.
enum class TitleMarks {
    None,
    Stars,         // "*" and "'"
    StarsAndTilde, // "*", "'" and "~"
};

struct Facts
{
    PlayerId id;
    const char16_t *name;        // the catalogue name
    const char16_t *processName; // as the process list names it (any case)
    StatusStyle status;
    // Also takes the word "playing" as playing (Spotify answers either form).
    bool saysPlaying;
    DurationUnit duration;
    // Duration and position are read, and the progress bar shown.
    bool showsProgress;
    RatingStyle rating;
    bool loved;    // keeps a loved mark
    bool disliked; // keeps a disliked mark
    // A radio: the track changes when the title does, not when the position jumps back.
    bool radio;
    // Plays streams whose title replaces the track's (a radio while it does).
    bool streams;
    // Followed when nothing else is, as soon as it runs.
    bool claimsPreference;
    ArtworkSource artwork;
    TitleMarks titleMarks;
    const char16_t *pausedText;   // null: nothing is said while paused
    const char16_t *notification; // null: it broadcasts none

    QString nameText() const { return QString::fromUtf16(name); }
    QString processNameText() const { return QString::fromUtf16(processName); }
    QString pausedLabel() const { return pausedText ? QString::fromUtf16(pausedText) : QString(); }
    QString notificationName() const { return notification ? QString::fromUtf16(notification) : QString(); }
    bool hasStars() const { return rating == RatingStyle::Stars100 || rating == RatingStyle::Stars5; }
    // Whether a status script's answer means the player plays.
    bool isPlayingAnswer(const ScriptResult &answer) const;
};

// The eleven players in catalogue order (the order names are listed in).
std::span<const Facts> all();

// nullptr for none, the broadcaster, and numbers that are no player.
const Facts *find(PlayerId player);
// By catalogue name; nullptr when no row has it.
const Facts *find(QStringView name, Qt::CaseSensitivity cs = Qt::CaseSensitive);

// A player application with a row (not none, not the broadcaster).
inline bool isLocalPlayer(PlayerId player)
{
    return find(player) != nullptr;
}

// Earlier players win when several play at once.
inline constexpr std::array<PlayerId, 11> visitingOrder = {
    PlayerId::Rdio,        PlayerId::Swinsian,         PlayerId::Ecoute,    PlayerId::Snowtape,
    PlayerId::Radium,      PlayerId::Hermes,           PlayerId::AirfoilSatellite,
    PlayerId::Audirvana,   PlayerId::Spotify,          PlayerId::ITunes,    PlayerId::Music,
};

} // namespace PlayerTable
