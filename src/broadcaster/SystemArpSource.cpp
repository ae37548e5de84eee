#include "broadcaster/SystemArpSource.h"

#include "broadcaster/ArpTable.h"
#include "platform/Log.h"

#include <QFile>

SystemArpSource::SystemArpSource()
{
    const QByteArray fixture = qgetenv("COVERLUME_ARP_FIXTURE");
    if (!qEnvironmentVariableIsSet("COVERLUME_ARP_FIXTURE"))
        m_path = QStringLiteral("/proc/net/arp");
    else
        m_path = QString::fromLocal8Bit(fixture); // may be empty: then no table at all
}

QString SystemArpSource::readTable()
{
    if (m_path.isEmpty())
        return {};
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcBroadcaster, "arp error - cannot read %s: %s", qUtf8Printable(m_path),
                  qUtf8Printable(file.errorString()));
        return {};
    }
    return ArpTable::fromKernelTable(file.read(maxTableBytes));
}
