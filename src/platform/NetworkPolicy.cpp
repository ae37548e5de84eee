#include "platform/NetworkPolicy.h"

#include "platform/Log.h"

#include <QHostAddress>
#include <QMutex>
#include <QtGlobal>

namespace {

QMutex &policyLock()
{
    static QMutex lock;
    return lock;
}

NetworkPolicy::Check &installedCheck()
{
    static NetworkPolicy::Check check;
    return check;
}

} // namespace

void NetworkPolicy::setCheck(Check check)
{
    QMutexLocker locker(&policyLock());
    installedCheck() = std::move(check);
}

bool NetworkPolicy::allows(const QUrl &url)
{
    Check check;
    {
        QMutexLocker locker(&policyLock());
        check = installedCheck();
    }
    if (!check || check(url))
        return true;
    qCWarning(lcPlatform, "request to %s refused by the network policy",
              qUtf8Printable(url.toString()));
    return false;
}

bool NetworkPolicy::isLoopback(const QUrl &url)
{
    if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress host(url.host());
    return !host.isNull() && host.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8);
}

void NetworkPolicy::applyEnvironment()
{
    const QByteArray value = qgetenv("COVERLUME_LOOPBACK_ONLY");
    if (value.isEmpty() || value == "0")
        return;
    setCheck(&NetworkPolicy::isLoopback);
}
