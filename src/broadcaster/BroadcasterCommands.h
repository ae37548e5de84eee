#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <memory>

class BroadcasterFetcher;

// The synchronous requests to a broadcaster: its artwork and the
// remote-control keys, each a GET of the base address and a path that
// blocks the caller until it is answered or has failed (10 seconds at
// most). Nothing is sent for an empty base address. Main thread.
class BroadcasterCommands
{
public:
    BroadcasterCommands();
    ~BroadcasterCommands();

    // The artwork bytes; empty, logged as "data is nil", when none came.
    QByteArray artwork(const QString &base);
    // A key; the answer means nothing. Play/pause is logged.
    void send(const QString &base, QLatin1String path);

    // Requests sent so far (tests check that none went out).
    int requestsSent() const;

private:
    BroadcasterFetcher &fetcher();

    std::unique_ptr<BroadcasterFetcher> m_fetcher; // its thread starts at the first request
};
