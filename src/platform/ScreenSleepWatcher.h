#pragma once

#include <QDBusConnection>
#include <QObject>

// Logs when the screens go to sleep and wake again, as the desktop reports
// it: the screen saver's ActiveChanged(bool) signal on the session bus
// (org.freedesktop.ScreenSaver, which KDE also uses, and org.gnome.ScreenSaver)
// and logind's PrepareForSleep(bool) on the system bus.
//
// The screens count as asleep while the screen saver is active or the system
// is suspending; only a change of that state is logged and signalled, so a
// desktop that reports one event on several interfaces logs it once.
//
// Either connection may be unconnected: that bus is simply not watched, and
// at most one line says so. Connecting never waits for an answer from a bus.
// The connections are copied; main thread only.
class ScreenSleepWatcher : public QObject
{
    Q_OBJECT
public:
    ScreenSleepWatcher(const QDBusConnection &sessionBus, const QDBusConnection &systemBus,
                       QObject *parent = nullptr);
    ~ScreenSleepWatcher() override;

    bool screensAsleep() const { return m_screenSaverActive || m_systemSleeping; }
    bool watchesSessionBus() const { return m_watchingSession; }
    bool watchesSystemBus() const { return m_watchingSystem; }

Q_SIGNALS:
    void screensDidSleep();
    void screensDidWake();

private Q_SLOTS:
    void onScreenSaverActiveChanged(bool active);
    void onPrepareForSleep(bool sleeping);

private:
    bool watchSessionBus();
    bool watchSystemBus();
    void update(bool &flag, bool value);

    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    bool m_watchingSession = false;
    bool m_watchingSystem = false;
    bool m_screenSaverActive = false;
    bool m_systemSleeping = false;
};
