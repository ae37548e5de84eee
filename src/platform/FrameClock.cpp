#include "platform/FrameClock.h"

FrameClock::FrameClock() : m_scripted(false) {}

FrameClock::FrameClock(const QDateTime &start) : m_scripted(true), m_start(start) {}

QDateTime FrameClock::now() const
{
    if (!m_scripted)
        return QDateTime::currentDateTime();
    return m_start.addMSecs(m_frame * frameIntervalMs);
}
