#include "input/IdleSource.h"

#include "input/QtXcb.h"
#include "platform/Log.h"

#include <QDBusMessage>
#include <cstdlib>
#include <xcb/screensaver.h>

namespace {

const QString kMutterService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kMutterPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kMutterInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kScreenSaverPath = QStringLiteral("/org/freedesktop/ScreenSaver");

bool screensaverExtensionPresent(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_screensaver_id);
    return extension && extension->present;
}

} // namespace

DBusIdleSource::DBusIdleSource(QDBusConnection bus, int timeoutMs) : m_bus(bus), m_timeoutMs(timeoutMs) {}

DBusIdleSource::Answer DBusIdleSource::ask(Backend backend) const
{
    if (!m_bus.isConnected())
        return {};
    const bool monitor = backend == Backend::IdleMonitor;
    const QDBusMessage call = monitor
        ? QDBusMessage::createMethodCall(kMutterService, kMutterPath, kMutterInterface, QStringLiteral("GetIdletime"))
        : QDBusMessage::createMethodCall(kScreenSaver, kScreenSaverPath, kScreenSaver,
                                         QStringLiteral("GetSessionIdleTime"));
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return {-1, reply.errorName() == u"org.freedesktop.DBus.Error.NoReply"};
    bool ok = false;
    const qint64 ms = reply.arguments().constFirst().toLongLong(&ok);
    return {ok && ms >= 0 ? ms : -1, false};
}

qint64 DBusIdleSource::idleMs()
{
    if (m_backend == Backend::None || !m_quiet.hasExpired())
        return -1;
    if (m_backend != Backend::Unprobed) {
        const Answer answer = ask(m_backend);
        if (answer.timedOut)
            m_quiet.setRemainingTime(quietMs);
        return answer.ms;
    }
    bool timedOut = false;
    for (Backend candidate : {Backend::IdleMonitor, Backend::ScreenSaver}) {
        const Answer answer = ask(candidate);
        if (answer.ms >= 0) {
            m_backend = candidate;
            qCInfo(lcInput, "idle time from %s",
                   candidate == Backend::IdleMonitor ? "the GNOME idle monitor" : "the screensaver service");
            return answer.ms;
        }
        timedOut = timedOut || answer.timedOut;
    }
    if (timedOut) {
        // Still starting, perhaps: asked again once the quiet time is over.
        m_quiet.setRemainingTime(quietMs);
        return -1;
    }
    m_backend = Backend::None;
    qCInfo(lcInput, "no idle time on this desktop: the display will not go full screen by itself");
    return -1;
}

std::unique_ptr<XcbIdleSource> XcbIdleSource::create()
{
    xcb_connection_t *connection = qtXcbConnection();
    if (!connection || !qtXcbRoot() || !screensaverExtensionPresent(connection))
        return nullptr;
    return std::unique_ptr<XcbIdleSource>(new XcbIdleSource);
}

qint64 XcbIdleSource::idleMs()
{
    xcb_connection_t *connection = qtXcbConnection();
    if (!connection)
        return -1;
    xcb_screensaver_query_info_reply_t *info = xcb_screensaver_query_info_reply(
        connection, xcb_screensaver_query_info(connection, qtXcbRoot()), nullptr);
    if (!info)
        return -1;
    const qint64 ms = info->ms_since_user_input;
    std::free(info);
    return ms;
}

bool isWaylandSession()
{
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE");
    if (type == u"wayland")
        return true;
    if (type == u"x11")
        return false;
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::shared_ptr<IdleSource> makeSystemIdleSource(QDBusConnection bus)
{
    // Under Wayland the X server is Xwayland, which misses the input of
    // native windows: its idle time would grow while the user types.
    if (!isWaylandSession()) {
        if (std::unique_ptr<XcbIdleSource> x11 = XcbIdleSource::create())
            return x11;
    }
    return std::make_shared<DBusIdleSource>(bus);
}
