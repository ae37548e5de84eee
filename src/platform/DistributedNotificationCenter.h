#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QDBusConnection>
#include <QStringList>
#include <memory>

// Notifications between applications, carried as signals of our own on the
// D-Bus session bus:
//
//   path       /com/quillmoor/Coverlume/Notifications
//   interface  com.quillmoor.Coverlume.Notifications
//   signal     Posted(s name, a{sv} userInfo)
//
// post() broadcasts the signal; signals seen on the bus (our own included)
// are delivered to the observers registered here, once each, from the event
// loop after post() has returned. The bus hands over only the names observed
// here (a match rule on the first argument per name; one for all while
// someone observes every name), so another application's large
// notifications are not read for nothing. When no session bus can be reached, the
// centre logs one line and delivers posts in-process, synchronously, instead.
// Names over 256 characters and user-info maps over 64 MiB (as marshalled)
// coming from the bus are dropped. User-info values arrive as plain QVariants
// (nested maps and lists, never QtDBus wrappers); values the bus cannot carry
// (invalid or null) are left out. Main thread only.
class DistributedNotificationCenter : public QObject, public NotificationCenter
{
    Q_OBJECT
public:
    // Connects to the session bus, if one is reachable (sessionBusIfReachable()).
    DistributedNotificationCenter();
    explicit DistributedNotificationCenter(const QDBusConnection &connection);
    ~DistributedNotificationCenter() override;

    bool isOnBus() const;
    void post(const QString &name, const QVariantMap &userInfo = {}) override;

private Q_SLOTS:
    void onPosted(const QString &name, const QVariantMap &userInfo);

protected:
    void observersChanged() override;

private:
    void attach(const QDBusConnection &connection);
    bool match(const QString &name, bool on);
    std::unique_ptr<QDBusConnection> m_connection;
    QStringList m_matched; // the names matched on the bus; "" is every name
};
