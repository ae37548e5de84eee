#include "input/SystemPower.h"

#include "core/ViewHost.h"
#include "nowplaying/NowPlaying.h"
#include "platform/DefaultsStore.h"
#include "platform/Log.h"

SystemPower::SystemPower(DefaultsStore &defaults, ViewHost &host, std::shared_ptr<IdleSource> idle,
                         std::unique_ptr<SleepInhibitor> inhibitor)
    : m_defaults(defaults)
    , m_host(host)
    , m_idle(idle ? std::move(idle) : std::make_shared<ScriptedIdleSource>())
    , m_inhibitor(inhibitor ? std::move(inhibitor) : std::make_unique<NoInhibitor>())
{
    m_inhibitor->setHandler([this](SleepInhibitor::Change change) { inhibitorChanged(change); });
}

SystemPower::~SystemPower()
{
    // A view replaced while in full screen must not leave its hold behind.
    allowSleep();
    m_inhibitor->setHandler({});
}

void SystemPower::tareSystemIdle()
{
    m_systemIdleOffset = systemIdleTime();
}

void SystemPower::checkSystemIdle()
{
    if (m_host.isFullScreen())
        return;
    const qint64 limit = m_defaults.integerValue(QStringLiteral("fullScreenAfterSystemIdleTime"));
    if (limit == 0)
        return;
    if (m_defaults.boolValue(QStringLiteral("noMusicNoAutoFullScreen"))
        && (!m_nowPlaying || m_nowPlaying->currentPlayer() == PlayerId::None || m_nowPlaying->noPlayer()))
        return;
    const qint64 idle = systemIdleTime();
    if (idle - m_systemIdleOffset > limit) {
        logAt(m_defaults, 1, lcInput, "idle for %lld units: going full screen", static_cast<long long>(idle));
        m_host.enterFullScreen();
    }
}

void SystemPower::systemActivity()
{
    if (m_defaults.boolValue(QStringLiteral("exitFullScreenAfterActivity"))) {
        if (!m_host.isFullScreen())
            return;
        m_host.leaveFullScreen();
        if (!m_defaults.boolValue(QStringLiteral("displayFloatingWindow"))) {
            m_host.hideWindow();
        } else {
            m_host.showWindow();
            m_host.raiseWindow();
        }
    } else if (m_defaults.boolValue(QStringLiteral("hideMouseCursorInFullScreen"))) {
        m_host.hidePointerUntilMoved(false);
    }
}

void SystemPower::preventSleep()
{
    if (m_sleepPrevented || m_asking)
        return;
    m_asking = true;
    m_inhibitor->hold(); // may answer at once
}

void SystemPower::allowSleep()
{
    if (m_asking) {
        m_asking = false;
        m_inhibitor->release(); // the answer still to come is given back
        return;
    }
    if (!m_sleepPrevented)
        return;
    m_inhibitor->release();
    m_sleepPrevented = false;
    qCInfo(lcInput, "Coverlume has revoked prevention of display sleep or screensaver");
}

void SystemPower::inhibitorChanged(SleepInhibitor::Change change)
{
    switch (change) {
    case SleepInhibitor::Change::Held:
        m_asking = false;
        m_sleepPrevented = true;
        qCInfo(lcInput, "Coverlume has prevented display sleep or screensaver");
        break;
    case SleepInhibitor::Change::Refused:
        m_asking = false; // the next cycle asks again
        break;
    case SleepInhibitor::Change::Lost:
        m_sleepPrevented = false;
        qCInfo(lcInput, "the screensaver service went away; display sleep is no longer held off");
        break;
    }
}
