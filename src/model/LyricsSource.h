#pragma once

#include "model/PlayerId.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// The words of one track, as the Lyrics layout asks for them.
struct LyricsAnswer
{
    enum class State {
        NotYet, // still being looked up: the layout shows its slots empty
        None,   // looked up, nothing found
        Lines,  // found: `lines`, empty lines kept
    };
    State state = State::None;
    QStringList lines;
    int nonEmptyLines = 0; // the lines with at least one character
    // Lines with the moment each is sung (ms from the start of the track,
    // ascending), whatever `state` says; empty when none are known.
    QStringList syncedLines;
    QList<qint64> syncedTimesMs;

    bool hasSyncedLines() const { return !syncedLines.isEmpty() && syncedLines.size() == syncedTimesMs.size(); }

    static LyricsAnswer notYet() { return {State::NotYet, {}, 0, {}, {}}; }
    static LyricsAnswer none() { return {State::None, {}, 0, {}, {}}; }
};

// What is known of the track whose words are asked for.
struct LyricsTrack
{
    QString title, artist, album;
    qint64 durationSeconds = 0; // 0: unknown
    QString location;           // the file's address as the player gives it; empty: none
};

// Where the Lyrics layout gets the words of the track it lays out. Main
// thread only; an answer never waits for the network: a source that has to
// look further answers "not yet" and calls the arrival handler (on the main
// thread) when the answer for the track last asked about is in, so the
// display can lay out again soon and take it.
class LyricsSource
{
public:
    virtual ~LyricsSource() = default;

    virtual LyricsAnswer lyricsFor(const QString &title, const QString &artist, PlayerId player) = 0;
    // The same with all that is known of the track; a source that can use
    // more than title and artist (timed lines) overrides it.
    virtual LyricsAnswer lyricsForTrack(const LyricsTrack &track, PlayerId player)
    {
        return lyricsFor(track.title, track.artist, player);
    }

    void setArrivalHandler(std::function<void()> handler) { m_arrived = std::move(handler); }

protected:
    void answerArrived() const
    {
        if (m_arrived)
            m_arrived();
    }

private:
    std::function<void()> m_arrived;
};
