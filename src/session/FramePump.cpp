#include "session/FramePump.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>

namespace {

// Clears a flag however the scope is left.
class FlagGuard
{
public:
    explicit FlagGuard(bool &flag) : m_flag(flag) { m_flag = true; }
    ~FlagGuard() { m_flag = false; }
    FlagGuard(const FlagGuard &) = delete;
    FlagGuard &operator=(const FlagGuard &) = delete;

private:
    bool &m_flag;
};

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

FramePump::FramePump(Step runFrame, Step markNeedsDisplay, QObject *parent)
    : QObject(parent), m_runFrame(std::move(runFrame)),
      m_markNeedsDisplay(std::move(markNeedsDisplay)), m_clock(steadyNs)
{
    m_timer.setSingleShot(true);
    // A coarse timer may fire up to 5 % late, which at 50 ms costs a frame
    // now and then.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FramePump::tick);
}

void FramePump::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyNs);
}

qint64 FramePump::nextDelayNs(qint64 frameTimeNs)
{
    return std::max<qint64>(0, intervalNs - frameTimeNs);
}

void FramePump::start()
{
    if (m_running)
        return;
    m_running = true;
    tick();
}

void FramePump::stop()
{
    m_running = false;
    m_timer.stop();
}

bool FramePump::limitReached() const
{
    return m_frameLimit && m_framesRun >= *m_frameLimit;
}

void FramePump::finish()
{
    stop();
    Q_EMIT finished();
}

void FramePump::arm(qint64 delayNs)
{
    m_lastDelayNs = delayNs;
    // Round to the nearest millisecond, the timer's resolution.
    m_timer.start(std::chrono::milliseconds((delayNs + 500'000) / 1'000'000));
}

void FramePump::tick()
{
    if (m_inTick) {
        ++m_refusedReentries;
        return;
    }
    if (!m_backToBack && limitReached()) {
        finish();
        return;
    }

    qint64 frameTimeNs = 0;
    {
        FlagGuard inTick(m_inTick);
        const qint64 startNs = m_clock();
        if (m_runFrame)
            m_runFrame();
        if (m_markNeedsDisplay)
            m_markNeedsDisplay();
        ++m_framesRun;
        frameTimeNs = m_clock() - startNs;
    }

    if (m_backToBack)
        return;
    if (limitReached()) {
        finish();
        return;
    }
    if (m_running)
        arm(nextDelayNs(frameTimeNs));
}

void FramePump::runBackToBack(qint64 frames)
{
    if (m_inTick || m_backToBack)
        return;
    m_timer.stop();
    m_running = true;
    m_backToBack = true;
    for (qint64 i = 0; i < frames && m_running; ++i) {
        tick();
        QCoreApplication::processEvents();
    }
    m_backToBack = false;
    m_running = false;
    Q_EMIT finished();
}
