#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QThread;
class FetchWorker;

// Synchronous GETs for the artwork and the remote-control commands. The
// requests run on a worker thread of this object's own, so the caller (the
// frame loop or the key handler on the main thread) only waits: no nested
// event loop runs there, and the polling thread is never involved. Each
// fetch ends within totalDeadlineMs however the server behaves (the request
// time-out alone counts only silence, so a server dripping bytes would hold
// the caller for ever), and a body larger than the cap given is dropped.
//
// Owns its worker thread, which is started on first use and stopped and
// joined by the destructor. fetch() may be called from any one thread at a
// time (calls are serialised).
class BroadcasterFetcher
{
public:
    static constexpr int totalDeadlineMs = 10'000;

    BroadcasterFetcher();
    ~BroadcasterFetcher();
    BroadcasterFetcher(const BroadcasterFetcher &) = delete;
    BroadcasterFetcher &operator=(const BroadcasterFetcher &) = delete;

    // The body of a successful answer (status below 400); nothing on any
    // failure, refusal, time-out or a body over maxBytes.
    std::optional<QByteArray> fetch(const QString &address, qint64 maxBytes);
    // The same without waiting: done() is called on the worker thread with
    // the outcome, before this object's destructor returns.
    void fetchLater(const QString &address, qint64 maxBytes,
                    std::function<void(std::optional<QByteArray>)> done);

    // Requests sent so far (tests check that none went out).
    int requestsSent() const;

private:
    void ensureWorker();

    QThread *m_thread = nullptr;
    FetchWorker *m_worker = nullptr;
};
