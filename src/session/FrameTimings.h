#pragma once

#include <QList>
#include <QtGlobal>

// How long each frame step took, in nanoseconds, for benchmarks and the
// curious. Keeps the totals of the whole run and the figures of the last
// `capacity` frames (older ones are overwritten, so a run of days stays
// small). Value type; one thread at a time.
class FrameTimings
{
public:
    static constexpr qsizetype capacity = 65536;

    void record(qint64 durationNs);

    qint64 count() const { return m_count; }     // frames recorded in all
    qint64 totalNs() const { return m_totalNs; }
    qint64 maxNs() const { return m_maxNs; }      // 0 before the first frame
    qint64 lastNs() const;                        // 0 before the first frame
    // The kept figures, oldest first.
    QList<qint64> recentNs() const;

private:
    QList<qint64> m_ring;
    qsizetype m_next = 0;
    qint64 m_count = 0;
    qint64 m_totalNs = 0;
    qint64 m_maxNs = 0;
};
