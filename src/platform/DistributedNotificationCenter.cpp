#include "platform/DistributedNotificationCenter.h"

#include "platform/DBusValue.h"
#include "platform/Log.h"
#include "platform/SessionBus.h"

#include <QDBusMessage>

namespace {

const QString busPath = QStringLiteral("/com/quillmoor/Coverlume/Notifications");
const QString busInterface = QStringLiteral("com.quillmoor.Coverlume.Notifications");
const QString busSignal = QStringLiteral("Posted");

constexpr qsizetype maxNameLength = 256;
constexpr qint64 maxUserInfoBytes = 64 * 1024 * 1024;
constexpr int kMatchSettleMs = 1000;

} // namespace

DistributedNotificationCenter::DistributedNotificationCenter()
{
    attach(sessionBusIfReachable());
}

DistributedNotificationCenter::DistributedNotificationCenter(const QDBusConnection &connection)
{
    attach(connection);
}

DistributedNotificationCenter::~DistributedNotificationCenter()
{
    if (m_connection)
        for (const QString &name : std::as_const(m_matched))
            match(name, false);
}

void DistributedNotificationCenter::attach(const QDBusConnection &connection)
{
    auto bus = std::make_unique<QDBusConnection>(connection);
    if (bus->isConnected()) {
        m_connection = std::move(bus);
        observersChanged();
        return;
    }
    qCInfo(lcPlatform, "no session bus: notifications stay in this process");
}

bool DistributedNotificationCenter::match(const QString &name, bool on)
{
    // An empty service matches every sender and spares a blocking name
    // lookup; an empty name matches every notification.
    const QStringList arguments = name.isEmpty() ? QStringList() : QStringList{name};
    if (on) {
        if (!m_connection->connect(QString(), busPath, busInterface, busSignal, arguments, QString(), this,
                                   SLOT(onPosted(QString,QVariantMap))))
            return false;
        // The rule goes to the bus on its own; one answered call (bounded)
        // makes sure it is in place, so a post made from now on is heard.
        const QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        m_connection->call(ping, QDBus::Block, kMatchSettleMs);
        return true;
    }
    return m_connection->disconnect(QString(), busPath, busInterface, busSignal, arguments, QString(), this,
                                    SLOT(onPosted(QString,QVariantMap)));
}

void DistributedNotificationCenter::observersChanged()
{
    if (!m_connection)
        return;
    QStringList wanted = observedNames();
    if (wanted.contains(QString()))
        wanted = QStringList{QString()}; // one rule for everything, or each would come twice
    for (const QString &name : m_matched)
        if (!wanted.contains(name))
            match(name, false);
    QStringList matched;
    for (const QString &name : std::as_const(wanted)) {
        if (m_matched.contains(name) || match(name, true))
            matched.append(name);
        else
            qCWarning(lcPlatform).noquote()
                << QStringLiteral("notifications \"%1\" cannot be heard on the session bus (%2)")
                       .arg(name, m_connection->lastError().message());
    }
    m_matched = matched;
}

bool DistributedNotificationCenter::isOnBus() const
{
    return m_connection && m_connection->isConnected();
}

void DistributedNotificationCenter::post(const QString &name, const QVariantMap &userInfo)
{
    if (!isOnBus()) {
        deliver(Notification{name, userInfo});
        return;
    }
    // The bus hands the signal back to us as well, so local observers hear
    // it from there; only a post that never left is delivered here.
    QDBusMessage signal = QDBusMessage::createSignal(busPath, busInterface, busSignal);
    signal << name << QVariant::fromValue(DBusValue::busMap(userInfo));
    if (!m_connection->send(signal)) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("notification \"%1\" could not be sent on the session bus (%2); delivered in this process only")
                   .arg(name, m_connection->lastError().message());
        deliver(Notification{name, userInfo});
    }
}

void DistributedNotificationCenter::onPosted(const QString &name, const QVariantMap &userInfo)
{
    if (name.size() > maxNameLength) {
        qCWarning(lcPlatform, "notification with a name of %lld characters dropped", qlonglong(name.size()));
        return;
    }
    bool withinBudget = true;
    const QVariantMap plain = DBusValue::plainMap(userInfo, maxUserInfoBytes, &withinBudget);
    if (!withinBudget) {
        qCWarning(lcPlatform).noquote()
            << QStringLiteral("notification \"%1\" dropped: user info over 64 MiB").arg(name);
        return;
    }
    deliver(Notification{name, plain});
}
