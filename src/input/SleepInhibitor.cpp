#include "input/SleepInhibitor.h"

#include "input/QtXcb.h"
#include "input/IdleSource.h"
#include "platform/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <cstdlib>
#include <xcb/screensaver.h>

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kApplication = QStringLiteral("Coverlume");
const QString kReason = QStringLiteral("Coverlume in full-screen mode");

void unInhibit(QDBusConnection bus, uint cookie)
{
    QDBusMessage call = QDBusMessage::createMethodCall(ScreenSaverInhibitor::service, ScreenSaverInhibitor::path,
                                                       kInterface, QStringLiteral("UnInhibit"));
    call << cookie;
    // The answer means nothing; the message goes out all the same.
    bus.send(call);
}

} // namespace

void ScriptedInhibitor::hold()
{
    if (refuse) {
        report(Change::Refused);
        return;
    }
    held = true;
    ++holds;
    report(Change::Held);
}

void ScriptedInhibitor::lose()
{
    if (!held)
        return;
    held = false;
    report(Change::Lost);
}

const QString ScreenSaverInhibitor::service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverInhibitor::path = QStringLiteral("/org/freedesktop/ScreenSaver");

struct ScreenSaverInhibitor::Ticket
{
    bool wanted = true;
    bool held = false;
    uint cookie = 0;
    QString owner; // the unique name that gave the cookie
};

ScreenSaverInhibitor::ScreenSaverInhibitor(QDBusConnection bus) : m_bus(bus)
{
    auto *watcher = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &oldOwner, const QString &) { ownerChanged(oldOwner); });
}

ScreenSaverInhibitor::~ScreenSaverInhibitor()
{
    release();
}

bool ScreenSaverInhibitor::available(QDBusConnection bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    if (bus.interface()->isServiceRegistered(service))
        return true;
    const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(service);
}

void ScreenSaverInhibitor::hold()
{
    if (m_ticket)
        return;
    auto ticket = std::make_shared<Ticket>();
    m_ticket = ticket;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, kInterface, QStringLiteral("Inhibit"));
    call << kApplication << kReason;
    // No parent: the answer is dealt with even after this object is gone,
    // so a cookie that comes late is given back, never kept.
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    QPointer<ScreenSaverInhibitor> self(this);
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending,
                     [pending, ticket, self, bus = m_bus] {
                         pending->deleteLater();
                         const QDBusPendingReply<uint> reply = *pending;
                         const bool current = self && self->m_ticket == ticket && ticket->wanted;
                         if (reply.isError()) {
                             if (current) {
                                 qCInfo(lcInput, "the screensaver service refused to hold off sleep: %s",
                                        qUtf8Printable(reply.error().message()));
                                 self->m_ticket.reset();
                                 self->report(Change::Refused);
                             }
                             return;
                         }
                         if (!current) {
                             unInhibit(bus, reply.value());
                             return;
                         }
                         ticket->held = true;
                         ticket->cookie = reply.value();
                         ticket->owner = reply.reply().service();
                         self->report(Change::Held);
                     });
}

void ScreenSaverInhibitor::release()
{
    if (!m_ticket)
        return;
    m_ticket->wanted = false;
    if (m_ticket->held)
        unInhibit(m_bus, m_ticket->cookie);
    m_ticket.reset();
}

void ScreenSaverInhibitor::ownerChanged(const QString &oldOwner)
{
    if (!m_ticket || !m_ticket->held)
        return;
    if (!m_ticket->owner.isEmpty() && oldOwner != m_ticket->owner)
        return;
    // Its cookies went with it: nothing to give back.
    m_ticket.reset();
    report(Change::Lost);
}

std::unique_ptr<XcbSuspendInhibitor> XcbSuspendInhibitor::create()
{
    xcb_connection_t *connection = qtXcbConnection();
    if (!connection)
        return nullptr;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_screensaver_id);
    if (!extension || !extension->present)
        return nullptr;
    return std::unique_ptr<XcbSuspendInhibitor>(new XcbSuspendInhibitor);
}

XcbSuspendInhibitor::~XcbSuspendInhibitor()
{
    release();
}

void XcbSuspendInhibitor::suspend(bool on)
{
    xcb_connection_t *connection = qtXcbConnection();
    if (!connection)
        return;
    xcb_generic_error_t *error = xcb_request_check(connection, xcb_screensaver_suspend_checked(connection, on ? 1 : 0));
    m_suspended = on && !error;
    std::free(error);
}

void XcbSuspendInhibitor::hold()
{
    if (m_suspended)
        return;
    suspend(true);
    report(m_suspended ? Change::Held : Change::Refused);
}

void XcbSuspendInhibitor::release()
{
    if (m_suspended)
        suspend(false);
}

void NoInhibitor::hold()
{
    if (!m_said) {
        m_said = true;
        qCInfo(lcInput, "display sleep cannot be held off here: no screensaver service on the session bus");
    }
    report(Change::Refused);
}

std::unique_ptr<SleepInhibitor> makeSleepInhibitor(QDBusConnection bus)
{
    if (ScreenSaverInhibitor::available(bus))
        return std::make_unique<ScreenSaverInhibitor>(bus);
    if (!isWaylandSession()) {
        if (std::unique_ptr<XcbSuspendInhibitor> x11 = XcbSuspendInhibitor::create())
            return x11;
    }
    return std::make_unique<NoInhibitor>();
}
