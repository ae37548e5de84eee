#pragma once

#include "core/PowerControl.h"
#include "input/IdleSource.h"
#include "input/SleepInhibitor.h"

#include <memory>

class DefaultsStore;
class NowPlaying;
class ViewHost;

// Full screen after the user has been idle a while, out of it when they
// come back, and the display kept awake meanwhile: the frame cycle's power
// control on this desktop's idle source and sleep inhibitor.
//
// Idle time counts in units of 2^30 ns (about 1.07 s), the unit of
// "fullScreenAfterSystemIdleTime". At most one inhibition is held, and a
// destroyed control gives its inhibition back. Main thread only.
class SystemPower final : public PowerControl
{
public:
    SystemPower(DefaultsStore &defaults, ViewHost &host, std::shared_ptr<IdleSource> idle,
                std::unique_ptr<SleepInhibitor> inhibitor);
    ~SystemPower() override;

    // Whose players decide whether music shows; none: nothing shows, so
    // with "noMusicNoAutoFullScreen" the display never goes full screen by
    // itself.
    void setNowPlaying(const NowPlaying *nowPlaying) { m_nowPlaying = nowPlaying; }

    // Milliseconds in idle units; -1 stays -1.
    static qint64 idleUnits(qint64 ms) { return ms < 0 ? -1 : (ms * 1'000'000) >> 30; }
    qint64 systemIdleTime() { return idleUnits(m_idle->idleMs()); }

    void tareSystemIdle() override;
    void checkSystemIdle() override;
    void preventSleep() override;
    void allowSleep() override;
    void systemActivity() override;

    bool sleepPrevented() const { return m_sleepPrevented; }
    qint64 systemIdleOffset() const { return m_systemIdleOffset; }

private:
    void inhibitorChanged(SleepInhibitor::Change change);

    DefaultsStore &m_defaults;
    ViewHost &m_host;
    std::shared_ptr<IdleSource> m_idle;
    std::unique_ptr<SleepInhibitor> m_inhibitor;
    const NowPlaying *m_nowPlaying = nullptr;
    qint64 m_systemIdleOffset = 0;
    bool m_sleepPrevented = false;
    bool m_asking = false; // a hold is asked for and not yet answered
};
