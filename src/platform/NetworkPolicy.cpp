#include "platform/NetworkPolicy.h"

#include "platform/Log.h"

#include <QMutex>

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
