#include "platform/SessionBus.h"

#include <QDir>
#include <QFileInfo>

QDBusConnection sessionBusIfReachable()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtimeDir.isEmpty() || !QFileInfo::exists(QDir(runtimeDir).filePath(QStringLiteral("bus"))))
            return QDBusConnection(QString());
    }
    return QDBusConnection::sessionBus();
}
