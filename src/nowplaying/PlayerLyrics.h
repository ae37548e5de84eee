#pragma once

#include "model/LyricsSource.h"

struct ScriptSlots;

// The words the player itself keeps for its current track: iTunes and Music
// answer them through their lyrics script; other players have none. Answers
// at once, so it never calls the arrival handler.
//
// Borrows the engine's script slots, which outlive it. Main thread only.
class PlayerLyrics final : public LyricsSource
{
public:
    // A text is cut to this many lines: no song has more, and the layout
    // keeps every line of its window.
    static constexpr int kMaxLines = 5000;

    explicit PlayerLyrics(const ScriptSlots &slots) : m_slots(slots) {}

    LyricsAnswer lyricsFor(const QString &title, const QString &artist, PlayerId player) override;

    // A player's lyrics text as lines (split at any line break, empty lines
    // kept); none when it has no non-empty line.
    static LyricsAnswer fromText(const QString &text);

private:
    const ScriptSlots &m_slots;
};
