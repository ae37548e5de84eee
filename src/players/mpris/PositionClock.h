#pragma once

#include <QtGlobal>

// A player's playing position between readings: the last reading moved on
// by the monotonic time since, at the playback rate, while playing.
//
// Readings are not trusted blindly: one that would step the position back
// by more than a second is dropped unless a seek or a new track allows it,
// and while playing so is one that does not move past the reading before
// (players that keep answering 0 while playing then get the extrapolated
// value, and a late answer cannot read as a new track). Seeks and new
// tracks are taken as they come. Times in nanoseconds of a monotonic clock,
// positions in microseconds. Value type; any thread.
class PositionClock
{
public:
    static constexpr qint64 maxStepBackUs = 1'000'000;

    // A polled reading. Returns whether it was taken.
    bool reading(qint64 positionUs, qint64 nowNs);
    // The player said where it jumped to (Seeked), or a new track started.
    void jumpTo(qint64 positionUs, qint64 nowNs);
    void setPlaying(bool playing, qint64 nowNs);
    void setRate(double rate, qint64 nowNs);
    // Caps the extrapolation (0: no cap).
    void setLength(qint64 lengthUs) { m_lengthUs = lengthUs; }

    qint64 positionUs(qint64 nowNs) const;
    bool isPlaying() const { return m_playing; }

private:
    void rebase(qint64 nowNs);

    qint64 m_baseUs = 0;
    qint64 m_baseNs = 0;
    double m_rate = 1.0;
    bool m_playing = false;
    qint64 m_lengthUs = 0;
    qint64 m_lastReadingUs = -1; // the last reading or jump taken; -1 none
};
