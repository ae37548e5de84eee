#pragma once

#include "broadcast-server/RequestHead.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

// A small HTTP/1.x server for the companion broadcaster: GET only, one
// request per connection, every answer with "Content-Length" and
// "Connection: close". A request head over maxRequestBytes is refused
// (431), a malformed one 400, another method 405; each request is logged in
// one line. What a path answers is the handler's business. Owns its
// listening socket and its connections. Main thread only.
//
// Connections are shared out so that no client and no address can starve
// the others:
// - at most Limits::connections are served at once ("slots"), at most
//   Limits::perAddress of them for one peer address;
// - a connection over either limit waits, its head already read, and is
//   served in order of arrival when a slot frees; when Limits::waiting
//   wait already the server stops accepting and the kernel's listen
//   backlog holds the rest. Nobody is refused or reset for being many;
// - a connection must send its whole request head within Limits::headMs of
//   connecting (else it gets 408 and is closed), and take its answer within
//   Limits::exchangeMs of being served (else it is dropped);
// - when slots or waiting places run out, connections that have sent no
//   complete head for Limits::idleGraceMs are closed first (408), oldest
//   first, to make room.
// Deadlines are checked against the injected monotonic clock, a few times a
// second and whenever connections arrive; checkDeadlines() runs a check at
// once.
class BroadcastServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxRequestBytes = 8 * 1024; // RequestHead::maxBytes

    struct Limits
    {
        int connections = 100;   // served at once
        int perAddress = 16;     // served at once for one peer address
        int waiting = 512;       // accepted and waiting for a slot
        int backlog = 1024;      // the listen backlog beyond those
        qint64 headMs = 2000;    // from connecting to the end of the request head
        qint64 exchangeMs = 20'000; // from being served to the answer taken
        qint64 idleGraceMs = 250;   // the least idle time before closing for room
    };
    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray body;
    };
    // The path as requested (without the query), decoded.
    using Handler = std::function<Response(const QString &path)>;

    explicit BroadcastServer(Handler handler, QObject *parent = nullptr);
    BroadcastServer(Handler handler, const Limits &limits, Clock clock, QObject *parent = nullptr);
    ~BroadcastServer() override;

    // False, with the reason, when the address cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

    // Closes what is past its deadline, makes room for waiting connections,
    // serves them and accepts more.
    void checkDeadlines();

    int servedConnections() const { return m_inSlots; }
    int waitingConnections() const { return int(m_waiting.size()); }
    const Limits &limits() const { return m_limits; }

private:
    enum class Phase { Waiting, Reading, Writing, Closing };
    struct Connection
    {
        QHostAddress address;
        Phase phase = Phase::Waiting;
        qint64 connectedAt = 0;
        qint64 servedAt = 0;
        QByteArray received;
        bool headDone = false; // the head is whole, or known to be bad
        RequestHead head;
    };

    void acceptConnections();
    void admit(QTcpSocket *socket);
    void readRequest(QTcpSocket *socket);
    void serveWaiting();
    void serve(QTcpSocket *socket, Connection &connection);
    void respond(QTcpSocket *socket, Connection &connection);
    void answer(QTcpSocket *socket, const QByteArray &method, const QString &path, const Response &response);
    void closeIdle(QTcpSocket *socket, Connection &connection);
    bool closeOldestIdle(qint64 now);
    void forget(QTcpSocket *socket, bool thenServe);
    void leaveSlot(Connection &connection);

    Handler m_handler;
    Limits m_limits;
    Clock m_clock;
    QTcpServer *m_server;
    QTimer *m_sweep;
    QHash<QTcpSocket *, Connection> m_connections;
    std::deque<QTcpSocket *> m_waiting; // in order of arrival
    QHash<QHostAddress, int> m_slotsByAddress;
    int m_inSlots = 0;
    int m_closedIdle = 0; // since the last log line about it
};
