#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

// Connections of the tests' own to the private session bus that
// tests/with-private-bus.sh starts.
inline QDBusConnection privateConnection(const QString &name)
{
    return QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), name);
}

// The bus daemon takes a connection's messages in order, so once a call on it
// is answered, the match rules it sent before are in force.
inline bool roundTrip(const QDBusConnection &connection)
{
    const QDBusMessage reply = connection.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")),
        QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}
