#pragma once

#include "model/NowShowing.h"
#include "model/PlayerTable.h"
#include "text/AttributedString.h"

#include <QDate>
#include <QList>
#include <QString>

class BroadcasterClient;
class DisplayFacts;
class PlayerScripts;
struct NowPlayingState;

// How far the track has played, and the extended details under the label
// (release year, kind, bit rate, sample rate, bit depth, date added, last
// played, play count). Main thread only.
class ProgressDetails
{
public:
    struct Parts
    {
        NowPlayingState &state;
        PlayerScripts &scripts;
        const DisplayFacts &display;
        BroadcasterClient &broadcaster;
    };

    explicit ProgressDetails(Parts parts) : m(parts) {}

    // Reads duration and position from the current source into the progress
    // model, and shows or hides the bar.
    void updateProgIndValues();
    // The duration and position the Lyrics theme pages by, in whole seconds,
    // read as the bar reads them; the broadcaster's report when it is the
    // source. Unlike the bar's, a position past the duration is kept (the
    // layout decides); 0, 0 when nothing tells.
    NowShowing::LyricsTiming lyricsTiming();
    // Rebuilds the detail strings from the current source and the current
    // theme's switches ("bitRate", "bitDepth", …); none under Random.
    void setUpProStrings();

    // The non-empty details as the label shows them, a line each: the year,
    // a blank line, then kind, bit rate, sample rate, bit depth, date added,
    // last played, play count (the blank line stands between year and kind,
    // or before the first detail when there is no kind). None when no
    // source is current.
    QList<AttributedString> detailLines() const;

    // A date as the details show it: the locale's medium form, local time.
    static QString mediumDate(const QDate &date);

private:
    bool setPlayerProgress(const PlayerTable::Facts &player);
    // Duration and position from the player's scripts, in seconds.
    std::pair<qint32, qint32> readPlayerProgress(const PlayerTable::Facts &player);
    void setBroadcasterProgress();

    Parts m;
};
