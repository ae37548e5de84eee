#pragma once

#include <QHash>
#include <QString>

class CoverlumeBroadcasterHelperURL;

// Receives the outcome of one exchange with a broadcaster. The address is
// the string the exchange was asked for, exactly as given. Called on the
// thread the exchange lives on (the main thread); at most one call per
// exchange, and none when the answer was refused (status 400 or more, not
// HTTP).
class BroadcasterHelperDelegate
{
public:
    virtual ~BroadcasterHelperDelegate() = default;

    virtual void helperURLDidReceiveData(CoverlumeBroadcasterHelperURL *exchange,
                                         const QHash<QString, QString> &fields,
                                         const QString &fromURL) = 0;
    virtual void helperURLReceivedNoData(CoverlumeBroadcasterHelperURL *exchange,
                                         const QString &fromURL) = 0;
};
