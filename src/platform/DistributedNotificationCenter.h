#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QDBusConnection>
#include <memory>

// Notifications between applications, carried as signals of our own on the
// D-Bus session bus:
//
//   path       /com/quillmoor/Coverlume/Notifications
//   interface  com.quillmoor.Coverlume.Notifications
//   signal     Posted(s name, a{sv} userInfo)
//
// post() broadcasts the signal; signals seen on the bus (our own included)
// are delivered to the observers registered here. When no session bus can be
// reached, the centre logs one line and delivers posts in-process instead.
// Names over 256 characters and user-info maps over 64 MiB (as marshalled)
// coming from the bus are dropped. Main thread only.
class DistributedNotificationCenter : public QObject, public NotificationCenter
{
    Q_OBJECT
public:
    // Connects to the session bus (DBUS_SESSION_BUS_ADDRESS).
    DistributedNotificationCenter();
    explicit DistributedNotificationCenter(const QDBusConnection &connection);
    ~DistributedNotificationCenter() override;

    bool isOnBus() const;
    void post(const QString &name, const QVariantMap &userInfo = {}) override;

private Q_SLOTS:
    void onPosted(const QString &name, const QVariantMap &userInfo);

private:
    void attach(const QDBusConnection &connection);
    std::unique_ptr<QDBusConnection> m_connection;
};
