#pragma once

#include "model/PlayerTable.h"
#include "platform/AttributedStyle.h"

#include <QDate>
#include <QString>

class AttributedString;
class BroadcasterClient;
class DefaultsStore;
class FrameCycle;
class PlayerScripts;
class ThemeSettings;
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
        ThemeSettings &themes;
        const FrameCycle &cycle;
        BroadcasterClient &broadcaster;
    };

    explicit ProgressDetails(Parts parts) : m(parts) {}

    // Reads duration and position from the current source into the progress
    // model, and shows or hides the bar.
    void updateProgIndValues();
    // Rebuilds the detail strings from the current source and the current
    // theme's switches ("bitRate", "bitDepth", …); none under Random.
    void setUpProStrings();

    // Appends the non-empty details to a label, each on a line of its own,
    // smaller and slightly transparent: the year, a blank line, then kind,
    // bit rate, sample rate, bit depth, date added, last played, play count.
    // Nothing when no source is current. `darkBackground` and `theme` pick
    // the colour (black only for Blur on a light background).
    void appendProStuffToAttrString(AttributedString &label, const AttributedStyle::Paragraph &paragraph,
                                    bool darkBackground, int theme, float fontSizePoints) const;

    // A date as the details show it: the locale's medium form, local time.
    static QString mediumDate(const QDate &date);

private:
    bool setPlayerProgress(const PlayerTable::Facts &player);
    void setBroadcasterProgress();

    Parts m;
};
