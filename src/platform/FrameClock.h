#pragma once

#include <QDateTime>

// The clock everything on screen and in the simulated players reads.
//
// Live: now() is the wall clock. Scripted (headless runs, tests): now() is
// the start time plus 50 ms for every frame the host has begun, so a run is
// the same every time. frame() counts frames begun by the host (0 while the
// view is being created). Main thread only.
class FrameClock
{
public:
    static constexpr qint64 frameIntervalMs = 50;

    FrameClock();                                 // live
    explicit FrameClock(const QDateTime &start);  // scripted

    bool isScripted() const { return m_scripted; }
    QDateTime now() const;
    qint64 frame() const { return m_frame; }
    void beginFrame() { ++m_frame; }

private:
    bool m_scripted;
    QDateTime m_start;
    qint64 m_frame = 0;
};
