#include "platform/ScreenSleepWatcher.h"

#include "platform/Log.h"

#include <QStringList>

namespace {

// Paths are left open: KDE emits on /ScreenSaver and /org/freedesktop/ScreenSaver,
// GNOME on /org/gnome/ScreenSaver. Senders are left open too, since naming a
// service would make QtDBus ask the bus for its owner and wait for the answer.
const QStringList screenSaverInterfaces = {
    QStringLiteral("org.freedesktop.ScreenSaver"),
    QStringLiteral("org.gnome.ScreenSaver"),
};
const QString activeChanged = QStringLiteral("ActiveChanged");

const QString loginPath = QStringLiteral("/org/freedesktop/login1");
const QString loginManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString prepareForSleep = QStringLiteral("PrepareForSleep");

} // namespace

ScreenSleepWatcher::ScreenSleepWatcher(const QDBusConnection &sessionBus,
                                       const QDBusConnection &systemBus, QObject *parent)
    : QObject(parent), m_sessionBus(sessionBus), m_systemBus(systemBus)
{
    m_watchingSession = watchSessionBus();
    m_watchingSystem = watchSystemBus();
    if (!m_watchingSession || !m_watchingSystem) {
        QStringList missing;
        if (!m_watchingSession)
            missing << QStringLiteral("session bus");
        if (!m_watchingSystem)
            missing << QStringLiteral("system bus");
        qCInfo(lcPlatform).noquote()
            << QStringLiteral("screen sleep not watched on the %1").arg(missing.join(QStringLiteral(" or the ")));
    }
}

ScreenSleepWatcher::~ScreenSleepWatcher()
{
    if (m_watchingSession) {
        for (const QString &interface : screenSaverInterfaces)
            m_sessionBus.disconnect(QString(), QString(), interface, activeChanged, this,
                                    SLOT(onScreenSaverActiveChanged(bool)));
    }
    if (m_watchingSystem)
        m_systemBus.disconnect(QString(), loginPath, loginManager, prepareForSleep, this,
                               SLOT(onPrepareForSleep(bool)));
}

bool ScreenSleepWatcher::watchSessionBus()
{
    if (!m_sessionBus.isConnected())
        return false;
    bool any = false;
    for (const QString &interface : screenSaverInterfaces)
        any |= m_sessionBus.connect(QString(), QString(), interface, activeChanged, this,
                                    SLOT(onScreenSaverActiveChanged(bool)));
    return any;
}

bool ScreenSleepWatcher::watchSystemBus()
{
    return m_systemBus.isConnected()
        && m_systemBus.connect(QString(), loginPath, loginManager, prepareForSleep, this,
                               SLOT(onPrepareForSleep(bool)));
}

void ScreenSleepWatcher::onScreenSaverActiveChanged(bool active)
{
    update(m_screenSaverActive, active);
}

void ScreenSleepWatcher::onPrepareForSleep(bool sleeping)
{
    update(m_systemSleeping, sleeping);
}

void ScreenSleepWatcher::update(bool &flag, bool value)
{
    const bool wasAsleep = screensAsleep();
    flag = value;
    const bool asleep = screensAsleep();
    if (asleep == wasAsleep)
        return;
    if (asleep) {
        qCInfo(lcPlatform, "CL received NSWorkspaceScreensDidSleepNotification");
        Q_EMIT screensDidSleep();
    } else {
        qCInfo(lcPlatform, "CL received NSWorkspaceScreensDidWakeNotification");
        Q_EMIT screensDidWake();
    }
}
