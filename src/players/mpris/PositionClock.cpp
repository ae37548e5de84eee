#include "players/mpris/PositionClock.h"

#include <algorithm>
#include <cmath>

void PositionClock::rebase(qint64 nowNs)
{
    m_baseUs = positionUs(nowNs);
    m_baseNs = nowNs;
}

bool PositionClock::reading(qint64 positionUs, qint64 nowNs)
{
    if (positionUs < 0)
        return false;
    const qint64 expected = this->positionUs(nowNs);
    if (positionUs < expected - maxStepBackUs)
        return false;
    // A player that keeps answering one value while playing (0, mostly) is
    // not moving; taking each answer would hold the position near it.
    if (m_playing && m_lastReadingUs >= 0 && positionUs <= m_lastReadingUs && positionUs < expected)
        return false;
    m_lastReadingUs = positionUs;
    m_baseUs = positionUs;
    m_baseNs = nowNs;
    return true;
}

void PositionClock::jumpTo(qint64 positionUs, qint64 nowNs)
{
    m_baseUs = std::max<qint64>(0, positionUs);
    m_baseNs = nowNs;
    m_lastReadingUs = m_baseUs;
}

void PositionClock::setPlaying(bool playing, qint64 nowNs)
{
    if (playing == m_playing)
        return;
    rebase(nowNs);
    m_playing = playing;
}

void PositionClock::setRate(double rate, qint64 nowNs)
{
    if (!std::isfinite(rate) || rate < 0 || rate > 100)
        rate = 1.0;
    rebase(nowNs);
    m_rate = rate;
}

qint64 PositionClock::positionUs(qint64 nowNs) const
{
    qint64 value = m_baseUs;
    if (m_playing && nowNs > m_baseNs)
        value += qint64(double(nowNs - m_baseNs) / 1000.0 * m_rate);
    if (m_lengthUs > 0)
        value = std::min(value, m_lengthUs);
    return value;
}
