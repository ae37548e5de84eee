#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <atomic>
#include <chrono>

class QNetworkAccessManager;

// One GET that cannot run away, shared by every download of the program
// (artwork, the broadcaster's fetches, the lyrics pages). It runs on the
// calling thread in an event loop of its own, so call it from a worker
// thread, never from the main thread.
//
// The whole exchange ends within `deadline` however the server behaves (a
// server dripping bytes included); a body over `maxBytes` is refused as the
// bytes arrive; redirects are followed only to http and https, at most
// `maxRedirects` times. The request and every redirect pass NetworkPolicy's
// check first. Nothing is taken from or put into a cache, and no cookies
// are sent or kept. Setting `*cancel` aborts the exchange within a few
// tens of milliseconds.
namespace BoundedGet {

struct Options
{
    std::chrono::milliseconds deadline{10000};
    qint64 maxBytes = 2 * 1024 * 1024;
    int maxRedirects = 5;
    QByteArray userAgent; // empty: the request's own, if any
    // Whether a body that comes with an error status (400 and above) is
    // still the answer. Off: such an answer is a failure.
    bool readErrorBodies = false;
    const std::atomic<bool> *cancel = nullptr;
};

struct Result
{
    bool ok = false;
    QByteArray body;
    int status = 0;
    bool timedOut = false;
    QString error; // why, when not ok
};

// http or https with a host: the only addresses fetched.
bool isHttp(const QUrl &url);

// `manager` may be null: a manager of the call's own is used then.
Result get(QNetworkRequest request, const Options &options, QNetworkAccessManager *manager = nullptr);

} // namespace BoundedGet
