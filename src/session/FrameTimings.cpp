#include "session/FrameTimings.h"

#include <algorithm>

void FrameTimings::record(qint64 durationNs)
{
    if (m_ring.size() < capacity)
        m_ring.append(durationNs);
    else
        m_ring[m_next] = durationNs;
    m_next = (m_next + 1) % capacity;
    ++m_count;
    m_totalNs += durationNs;
    m_maxNs = std::max(m_maxNs, durationNs);
}

qint64 FrameTimings::lastNs() const
{
    if (m_ring.isEmpty())
        return 0;
    return m_ring.at((m_next + capacity - 1) % capacity);
}

QList<qint64> FrameTimings::recentNs() const
{
    if (m_ring.size() < capacity)
        return m_ring;
    QList<qint64> ordered;
    ordered.reserve(capacity);
    ordered.append(m_ring.mid(m_next));
    ordered.append(m_ring.mid(0, m_next));
    return ordered;
}
