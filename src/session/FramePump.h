#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

// Drives the display: each tick runs one frame, marks the view for display
// and re-arms itself so that ticks start every 50 ms, less the time the
// frame itself took (never a negative delay, so a slow frame is followed
// at once by the next). A tick never runs inside another one: a frame that
// calls tick() again, directly or from a nested event loop, is refused.
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
    // Monotonic nanoseconds from any fixed start; frames are timed with it.
    using Clock = std::function<qint64()>;

    static constexpr qint64 intervalNs = 50'000'000;

    FramePump(Step runFrame, Step markNeedsDisplay, QObject *parent = nullptr);

    // Times frames with this clock instead of the steady clock (tests give
    // one whose frames take exactly as long as they say).
    void setClock(Clock clock);

    // The wait before the next tick after a frame that took frameTimeNs.
    static qint64 nextDelayNs(qint64 frameTimeNs);

    // Runs the first tick at once; later ticks follow on the timer.
    void start();
    void stop();
    bool isRunning() const { return m_running; }

    // Stops after this many frames in all and emits finished(); no limit
    // when empty. A limit already reached stops the pump at its next tick.
    void setFrameLimit(std::optional<qint64> frames) { m_frameLimit = frames; }

    // Runs the given number of frames in a row, then emits finished().
    // stop() from inside (a quit request between frames) ends it early.
    void runBackToBack(qint64 frames);

    qint64 framesRun() const { return m_framesRun; }
    qint64 lastDelayNs() const { return m_lastDelayNs; } // -1 before the first re-arm
    qint64 refusedReentries() const { return m_refusedReentries; }
    bool isTimerArmed() const { return m_timer.isActive(); }

public Q_SLOTS:
    // One frame. Public so that the timer, tests and a window's own redraw
    // can call it; a call while a tick runs does nothing.
    void tick();

Q_SIGNALS:
    void finished();

private:
    bool limitReached() const;
    void finish();
    void arm(qint64 delayNs);

    Step m_runFrame;
    Step m_markNeedsDisplay;
    Clock m_clock;
    QTimer m_timer;
    std::optional<qint64> m_frameLimit;
    qint64 m_framesRun = 0;
    qint64 m_lastDelayNs = -1;
    qint64 m_refusedReentries = 0;
    bool m_running = false;
    bool m_backToBack = false;
    bool m_inTick = false;
};
