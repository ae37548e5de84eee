#include "broadcast-server/BroadcastServer.h"

#include "broadcast-server/RequestHead.h"
#include "platform/Log.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <vector>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

BroadcastServer::Response plain(int status)
{
    BroadcastServer::Response response;
    response.status = status;
    response.body = reason(status) + '\n';
    return response;
}

QByteArray message(const BroadcastServer::Response &response, bool withBody)
{
    QByteArray message = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status)
        + "\r\nContent-Type: " + response.contentType
        + "\r\nContent-Length: " + QByteArray::number(response.body.size())
        + "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n";
    if (withBody)
        message += response.body;
    return message;
}

qint64 steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Hands over connections with a read buffer no larger than a request head,
// so that a connection waiting for its turn holds at most that much.
class ListeningSocket final : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setReadBufferSize(BroadcastServer::maxRequestBytes + 1);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        addPendingConnection(socket);
    }
};

constexpr int sweepIntervalMs = 250;

} // namespace

BroadcastServer::BroadcastServer(Handler handler, QObject *parent)
    : BroadcastServer(std::move(handler), Limits{}, steadyMs, parent)
{
}

BroadcastServer::BroadcastServer(Handler handler, const Limits &limits, Clock clock, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_limits(limits)
    , m_clock(clock ? std::move(clock) : Clock(steadyMs))
    , m_server(new ListeningSocket(this))
    , m_sweep(new QTimer(this))
{
    m_server->setListenBacklogSize(m_limits.backlog);
    connect(m_server, &QTcpServer::newConnection, this, &BroadcastServer::acceptConnections);
    m_sweep->setInterval(sweepIntervalMs);
    connect(m_sweep, &QTimer::timeout, this, &BroadcastServer::checkDeadlines);
}

BroadcastServer::~BroadcastServer() = default;

bool BroadcastServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server->listen(address, port))
        return true;
    if (error)
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(address.toString()).arg(port).arg(m_server->errorString());
    return false;
}

quint16 BroadcastServer::port() const
{
    return m_server->serverPort();
}

void BroadcastServer::acceptConnections()
{
    while (m_server->hasPendingConnections()) {
        // With every waiting place taken, the listen backlog holds the rest
        // until a place frees, unless an idle one can make room.
        if (int(m_waiting.size()) >= m_limits.waiting && !closeOldestIdle(m_clock()))
            return;
        QTcpSocket *socket = m_server->nextPendingConnection();
        if (!socket)
            return;
        admit(socket);
    }
}

void BroadcastServer::admit(QTcpSocket *socket)
{
    socket->setParent(this);
    Connection connection;
    connection.address = socket->peerAddress();
    connection.connectedAt = m_clock();
    m_connections.insert(socket, connection);
    m_waiting.push_back(socket);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    // Queued: a socket may disconnect inside a write, in the middle of a pass
    // over the connections.
    connect(socket, &QTcpSocket::disconnected, socket, [this, socket] { forget(socket, true); },
            Qt::QueuedConnection);
    if (!m_sweep->isActive())
        m_sweep->start();
    readRequest(socket); // what arrived before it was taken
    serveWaiting();
}

void BroadcastServer::readRequest(QTcpSocket *socket)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end() || it->headDone || it->phase == Phase::Closing) {
        socket->readAll(); // one request per connection; the rest is ignored
        return;
    }
    Connection &connection = *it;
    connection.received += socket->read(maxRequestBytes + 1 - connection.received.size());
    connection.head = RequestHead::parse(connection.received);
    if (connection.head.outcome == RequestHead::Outcome::Incomplete)
        return;
    connection.headDone = true;
    connection.received.clear();
    if (connection.phase == Phase::Reading)
        respond(socket, connection);
    else if (connection.phase == Phase::Waiting)
        serveWaiting();
}

void BroadcastServer::serveWaiting()
{
    const qint64 now = m_clock();
    // Slot holders that have sent no whole head for the grace time, oldest
    // first: closed to make room for a waiting connection whose request has
    // arrived. Listed on first need.
    std::vector<QTcpSocket *> idle;
    bool idleListed = false;
    auto listIdle = [&] {
        for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
            if (it->phase == Phase::Reading && !it->headDone && now - it->connectedAt >= m_limits.idleGraceMs)
                idle.push_back(it.key());
        }
        std::sort(idle.begin(), idle.end(), [this](QTcpSocket *a, QTcpSocket *b) {
            return m_connections.value(a).connectedAt < m_connections.value(b).connectedAt;
        });
        idleListed = true;
    };

    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        QTcpSocket *socket = *it;
        Connection &connection = m_connections[socket];
        bool allFull = m_inSlots >= m_limits.connections;
        bool addressFull = m_slotsByAddress.value(connection.address) >= m_limits.perAddress;
        if ((allFull || addressFull) && connection.headDone) {
            if (!idleListed)
                listIdle();
            const auto victim = std::find_if(idle.begin(), idle.end(), [&](QTcpSocket *candidate) {
                return !addressFull || m_connections.value(candidate).address == connection.address;
            });
            if (victim != idle.end()) {
                QTcpSocket *closed = *victim;
                idle.erase(victim);
                closeIdle(closed, m_connections[closed]);
                allFull = m_inSlots >= m_limits.connections;
                addressFull = m_slotsByAddress.value(connection.address) >= m_limits.perAddress;
            }
        }
        if (allFull || addressFull) {
            // Nobody else can be served: no slot, and none to free.
            if (allFull && idleListed && idle.empty())
                break;
            ++it;
            continue;
        }
        it = m_waiting.erase(it);
        serve(socket, connection);
    }
}

void BroadcastServer::serve(QTcpSocket *socket, Connection &connection)
{
    connection.phase = Phase::Reading;
    connection.servedAt = m_clock();
    ++m_inSlots;
    ++m_slotsByAddress[connection.address];
    if (connection.headDone)
        respond(socket, connection);
}

void BroadcastServer::respond(QTcpSocket *socket, Connection &connection)
{
    connection.phase = Phase::Writing;
    const RequestHead &head = connection.head;
    switch (head.outcome) {
    case RequestHead::Outcome::Incomplete: return;
    case RequestHead::Outcome::TooLarge: answer(socket, "?", QString(), plain(431)); return;
    case RequestHead::Outcome::Malformed: answer(socket, "?", QString(), plain(400)); return;
    case RequestHead::Outcome::BadTarget: answer(socket, head.method, head.path, plain(400)); return;
    case RequestHead::Outcome::NotAllowed: answer(socket, head.method, head.path, plain(405)); return;
    case RequestHead::Outcome::Complete: break;
    }
    answer(socket, head.method, head.path, m_handler ? m_handler(head.path) : plain(404));
}

void BroadcastServer::answer(QTcpSocket *socket, const QByteArray &method, const QString &path,
                             const Response &response)
{
    // The path is logged encoded, so that the log line stays one line.
    const QByteArray shownPath = QUrl::toPercentEncoding(path.left(200), "/");
    qCInfo(lcBroadcastServer, "%s %s from %s: %d, %lld bytes", method.left(16).constData(),
           shownPath.isEmpty() ? "-" : shownPath.constData(),
           qUtf8Printable(socket->peerAddress().toString()), response.status,
           qint64(response.body.size()));
    socket->write(message(response, method != "HEAD"));
    socket->disconnectFromHost(); // closes once everything is written
}

void BroadcastServer::closeIdle(QTcpSocket *socket, Connection &connection)
{
    if (connection.phase == Phase::Waiting)
        m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), socket));
    leaveSlot(connection);
    connection.phase = Phase::Closing;
    connection.servedAt = m_clock();
    ++m_closedIdle;
    socket->write(message(plain(408), true));
    socket->disconnectFromHost();
}

// The waiting connection that has been idle longest, if past the grace time.
bool BroadcastServer::closeOldestIdle(qint64 now)
{
    for (QTcpSocket *socket : m_waiting) {
        Connection &connection = m_connections[socket];
        if (!connection.headDone && now - connection.connectedAt >= m_limits.idleGraceMs) {
            closeIdle(socket, connection);
            return true;
        }
    }
    return false;
}

void BroadcastServer::checkDeadlines()
{
    const qint64 now = m_clock();
    std::vector<QTcpSocket *> idle;
    std::vector<QTcpSocket *> late;
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        switch (it->phase) {
        case Phase::Waiting:
        case Phase::Reading:
            if (!it->headDone && now - it->connectedAt > m_limits.headMs)
                idle.push_back(it.key());
            break;
        case Phase::Writing:
            if (now - it->servedAt > m_limits.exchangeMs)
                late.push_back(it.key());
            break;
        case Phase::Closing:
            if (now - it->servedAt > m_limits.headMs)
                late.push_back(it.key());
            break;
        }
    }
    for (QTcpSocket *socket : idle)
        closeIdle(socket, m_connections[socket]);
    for (QTcpSocket *socket : late) {
        qCInfo(lcBroadcastServer, "answer to %s not taken in time: dropped",
               qUtf8Printable(socket->peerAddress().toString()));
        forget(socket, false);
        socket->abort();
    }
    if (m_closedIdle > 0) {
        qCInfo(lcBroadcastServer, "closed %d connections that sent no whole request in time", m_closedIdle);
        m_closedIdle = 0;
    }
    serveWaiting();
    acceptConnections();
}

void BroadcastServer::forget(QTcpSocket *socket, bool thenServe)
{
    const auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    if (it->phase == Phase::Waiting)
        m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), socket));
    leaveSlot(*it);
    m_connections.erase(it);
    socket->deleteLater();
    if (thenServe) {
        serveWaiting();
        acceptConnections();
    }
    if (m_connections.isEmpty())
        m_sweep->stop();
}

void BroadcastServer::leaveSlot(Connection &connection)
{
    if (connection.phase != Phase::Reading && connection.phase != Phase::Writing)
        return;
    --m_inSlots;
    const auto it = m_slotsByAddress.find(connection.address);
    if (it != m_slotsByAddress.end() && --*it <= 0)
        m_slotsByAddress.erase(it);
}
