#pragma once

#include "model/NowShowing.h"
#include "model/PlayerId.h"
#include "text/AttributedString.h"

#include <QColor>
#include <QString>
#include <optional>

// The label's text: the colours and fonts of the three lines and of the
// rating marks (stars, hearts, popularity pipes), and the composition of the
// label from them. Pure functions of what they are given, except that the
// marks keep the attributes they were last given (a layout that does not
// style them shows them as before). Main thread (fonts).
class LabelStyling
{
public:
    // The most of a title, artist or album line that is laid out.
    static constexpr int maxLineCharacters = 2000;

    // Colours of one theme's label: device white levels with alpha.
    struct Palette
    {
        QColor track, artist, album;
        QColor starsUnlit, starsLit;
        QColor filledHeart, emptyHeart, slashedHeart;
        QColor pipesUnlit, pipesLit;
        static Palette classic();
        // Apple TV and Blur: white level `w` (1.0, or 0.15 for Blur on a
        // light background) at the item's alpha.
        static Palette appleTV(double w);
    };

    // The marks come from what the engine handed the stage: the player (or
    // the broadcaster's player name), rating, loved, disliked and stream.
    using Source = NowShowing;

    struct Switches
    {
        bool showRating = false;       // the theme's
        bool showLovedForTheme = false; // the theme's
        bool showLoved = false;        // the global "showLoved"
    };

    // The three lines as the source gave them; none: a line left out.
    struct Lines
    {
        std::optional<AttributedString> track, artist, album;
    };

    // Source kinds, by player id (8, the broadcaster, by its player name).
    static bool hasStars(const Source &source);
    static bool hasHearts(const Source &source);
    static bool hasPipes(const Source &source);
    static bool isHermes(const Source &source);
    static bool isITunesLike(const Source &source); // iTunes or Music
    // How many stars or pipes are lit; 0 when the rating is out of range.
    static int litStars(const Source &source);
    static int litPipes(int popularity);

    void setMarkTexts(const QString &fiveStars, const QString &twelvePipes, const QString &filledHeart,
                      const QString &emptyHeart, const QString &slashedHeart);

    // Stage D: a space appended to each line, the paragraph and the line
    // styles; the marks when the switches and the source ask for them.
    void style(Lines &lines, const Source &source, const Switches &switches, bool leftAligned, float fontSize,
               const Palette &palette);
    // Stage E (without the detail lines): the lines, and the marks below an
    // empty line; no marks while iTunes or Music plays a stream.
    AttributedString compose(const Lines &lines, const Source &source, const Switches &switches) const;

    const AttributedString &fiveStars() const { return m_fiveStars; }
    const AttributedString &twelvePipes() const { return m_twelvePipes; }

private:
    void styleMarks(const Source &source, const Switches &switches, const AttributedStyle::Paragraph &paragraph,
                    float fontSize, const Palette &palette);

    AttributedString m_fiveStars;
    AttributedString m_twelvePipes;
    AttributedString m_filledHeart;
    AttributedString m_emptyHeart;
    AttributedString m_slashedHeart;
};
