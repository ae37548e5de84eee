#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

// Drives the display: each tick runs one frame and marks the view for
// display. Ticks keep to a fixed timeline: the k-th tick after start() is
// due at start + k × 50 ms, so neither the timer's lateness nor its
// millisecond rounding adds up over a run. A frame that overruns the next
// slot is followed by one tick at once (never two in a row); the other
// slots it overran are skipped, counted and logged, and the tick after
// that waits for its own slot again. A tick never runs inside another one:
// a frame that calls tick() again, directly or from a nested event loop,
// is refused.
//
// Headless runs call runBackToBack(): frames then follow each other without
// the timer, letting pending events through between frames.
//
// Owns its single-shot timer; the two steps are the caller's and must stay
// callable while the pump runs. Main thread only.
class FramePump : public QObject
{
    Q_OBJECT
public:
    using Step = std::function<void()>;
    // Monotonic nanoseconds from any fixed start.
    using Clock = std::function<qint64()>;

    static constexpr qint64 intervalNs = 50'000'000;

    FramePump(Step runFrame, Step markNeedsDisplay, QObject *parent = nullptr);

    // Schedules and times frames with this clock instead of the steady
    // clock (tests give one that moves only when they move it).
    void setClock(Clock clock);

    // Runs the first tick at once and starts the timeline there; later
    // ticks follow on the timer.
    void start();
    void stop();
    bool isRunning() const { return m_running; }

    // Stops after this many frames in all and emits finished(); no limit
    // when empty. A limit already reached stops the pump at its next tick.
    void setFrameLimit(std::optional<qint64> frames) { m_frameLimit = frames; }

    // Runs the given number of frames in a row, then emits finished().
    // stop() from inside (a quit request between frames) ends it early.
    void runBackToBack(qint64 frames);

    // Asked from inside a frame: the next tick runs at once instead of on
    // its slot (the slots after it stay where they are). Start-up uses it
    // so that the first layout does not wait a whole interval.
    void runNextAtOnce() { m_nextAtOnce = true; }

    qint64 framesRun() const { return m_framesRun; }
    qint64 framesSkipped() const { return m_framesSkipped; }
    qint64 lastDelayNs() const { return m_lastDelayNs; } // -1 before the first re-arm
    // On the pump's clock: when the armed timer is set to fire (the delay
    // as the timer was given it, in whole milliseconds).
    qint64 armedForNs() const { return m_armedForNs; }
    qint64 refusedReentries() const { return m_refusedReentries; }
    bool isTimerArmed() const { return m_timer.isActive(); }
    // Time between the first and the last tick of each timed run, summed.
    qint64 pacedNs() const { return m_pacedNs; }
    // "frame pump: 601 frames in 30.00 s, 0 skipped": what the timed runs
    // came to, for the log at exit.
    QString summary() const;

public Q_SLOTS:
    // One frame. Public so that the timer, tests and a window's own redraw
    // can call it; a call while a tick runs does nothing.
    void tick();

Q_SIGNALS:
    void finished();

private:
    bool limitReached() const;
    void finish();
    // After the frame on slot m_slot ended at endNs: picks the next slot
    // and arms the timer for it.
    void scheduleAfter(qint64 frameStartNs, qint64 endNs);
    qint64 dueNs(qint64 slot) const { return m_startNs + slot * intervalNs; }

    Step m_runFrame;
    Step m_markNeedsDisplay;
    Clock m_clock;
    QTimer m_timer;
    std::optional<qint64> m_frameLimit;
    qint64 m_framesRun = 0;
    qint64 m_framesSkipped = 0;
    qint64 m_lastDelayNs = -1;
    qint64 m_armedForNs = -1;
    qint64 m_refusedReentries = 0;
    qint64 m_startNs = 0;      // slot 0 of the current timeline
    qint64 m_slot = 0;         // the slot of the tick that runs next
    qint64 m_pacedNs = 0;
    qint64 m_timedFrames = 0;
    qint64 m_lastTickStartNs = -1;
    bool m_running = false;
    bool m_backToBack = false;
    bool m_inTick = false;
    bool m_nextAtOnce = false;
    bool m_lastWasAtOnce = false;
};
