#include "session/FramePump.h"

#include "platform/Log.h"

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

// Whole milliseconds, to the nearest.
qint64 roundedMs(qint64 ns)
{
    return (ns + 500'000) / 1'000'000;
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

void FramePump::start()
{
    if (m_running)
        return;
    m_running = true;
    // A new timeline: a pause (the preferences) leaves no debt of frames.
    m_startNs = m_clock();
    m_slot = 0;
    m_lastWasAtOnce = false;
    m_lastTickStartNs = -1;
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

void FramePump::scheduleAfter(qint64 frameStartNs, qint64 endNs)
{
    const qint64 frameSlot = m_slot;
    qint64 next = frameSlot + 1;
    qint64 skipped = 0;
    bool atOnce = false;
    if (m_nextAtOnce) {
        atOnce = true;
    } else if (endNs >= dueNs(next)) {
        // The frame overran the next slot, and maybe more: the slots that
        // have begun by now. One tick runs at once on the latest of them,
        // unless the tick just run was itself the one at once: then all of
        // them go and the next tick waits for its slot.
        const qint64 begun = (endNs - m_startNs) / intervalNs; // the latest slot begun
        if (m_lastWasAtOnce) {
            next = begun + 1;
            skipped = begun - frameSlot;
        } else {
            next = begun;
            skipped = begun - frameSlot - 1;
            atOnce = true;
        }
    }
    m_nextAtOnce = false;
    m_lastWasAtOnce = atOnce;
    if (skipped > 0) {
        m_framesSkipped += skipped;
        qCInfo(lcSession, "frame pump: %lld %s skipped after a %lld ms frame",
               static_cast<long long>(skipped), skipped == 1 ? "frame" : "frames",
               static_cast<long long>(roundedMs(endNs - std::min(frameStartNs, dueNs(frameSlot)))));
    }
    m_slot = next;

    const qint64 delayNs = atOnce ? 0 : std::max<qint64>(0, dueNs(next) - endNs);
    m_lastDelayNs = delayNs;
    const qint64 delayMs = roundedMs(delayNs);
    m_armedForNs = endNs + delayMs * 1'000'000;
    m_timer.start(std::chrono::milliseconds(delayMs));
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
    // A tick called by hand takes the place of the one the timer holds.
    m_timer.stop();

    const bool timed = m_running && !m_backToBack;
    qint64 startNs = 0;
    qint64 endNs = 0;
    {
        FlagGuard inTick(m_inTick);
        startNs = m_clock();
        if (timed) {
            if (m_lastTickStartNs >= 0)
                m_pacedNs += startNs - m_lastTickStartNs;
            m_lastTickStartNs = startNs;
            ++m_timedFrames;
        }
        if (m_runFrame)
            m_runFrame();
        if (m_markNeedsDisplay)
            m_markNeedsDisplay();
        ++m_framesRun;
        endNs = m_clock();
    }

    if (m_backToBack)
        return;
    if (limitReached()) {
        finish();
        return;
    }
    if (m_running)
        scheduleAfter(startNs, endNs);
}

QString FramePump::summary() const
{
    return QStringLiteral("frame pump: %1 frames in %2 s, %3 skipped")
        .arg(m_timedFrames)
        .arg(double(m_pacedNs) / 1e9, 0, 'f', 2)
        .arg(m_framesSkipped);
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
