#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <functional>
#include <memory>

class BroadcasterFetcher;

// The requests to a broadcaster: its artwork (asynchronous) and the
// remote-control keys (synchronous), each a GET of the base address and a path that
// blocks the caller until it is answered or has failed (10 seconds at
// most). Nothing is sent for an empty base address. Main thread.
class BroadcasterCommands
{
public:
    BroadcasterCommands();
    ~BroadcasterCommands();

    // The artwork bytes, fetched on a thread of their own: done() is called
    // there with them (empty when none came),
    // before this object's destructor returns.
    void artworkLater(const QString &base, std::function<void(QByteArray)> done);
    // A key; the answer means nothing. Play/pause is logged.
    void send(const QString &base, QLatin1String path);

    // Requests sent so far (tests check that none went out).
    int requestsSent() const;

private:
    BroadcasterFetcher &fetcher();

    std::unique_ptr<BroadcasterFetcher> m_fetcher; // its thread starts at the first request
    std::unique_ptr<BroadcasterFetcher> m_artworkFetcher; // a slow artwork never holds a key
};
