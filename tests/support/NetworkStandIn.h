#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>
#include <memory>

class QThread;
class StandInServer;

// True when the loopback-only request policy of the test support is in
// force (it always is once a test binary has started).
bool networkSafetyInstalled();

// A stand-in broadcaster: an HTTP server on a loopback address of its own
// (127.0.0.2, 127.0.0.3, …), on a thread of its own so that it answers
// while the test's main thread waits in a synchronous request. Each request
// is recorded and answered by the handler. Stops in the destructor.
class NetworkStandIn
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray target;              // as sent: "/", "/artwork", "/a%20b"
        QHash<QByteArray, QByteArray> headers; // names lower case
    };
    struct Answer
    {
        QByteArray raw; // the whole answer, status line included
    };
    using Handler = std::function<Answer(const Request &)>;

    static Answer ok(const QByteArray &body, const QByteArray &type = "text/plain; charset=utf-8");
    static Answer status(int code);

    explicit NetworkStandIn(Handler handler);
    ~NetworkStandIn();

    // False when the address cannot be bound: the test must fail then, so
    // that no other server answers in its place. Port 0 takes a free one.
    bool listen(const QString &address, quint16 port = 45055);
    void close();

    QList<Request> requests() const;
    int requestCount() const { return int(requests().size()); }

private:
    std::shared_ptr<struct StandInShared> m_shared;
    QThread *m_thread;
    StandInServer *m_server;
};
