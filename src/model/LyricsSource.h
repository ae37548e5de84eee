#pragma once

#include "model/PlayerId.h"

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

    static LyricsAnswer notYet() { return {State::NotYet, {}, 0}; }
    static LyricsAnswer none() { return {State::None, {}, 0}; }
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
