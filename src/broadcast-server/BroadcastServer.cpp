#include "broadcast-server/BroadcastServer.h"

#include "broadcast-server/RequestHead.h"
#include "platform/Log.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
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

} // namespace

BroadcastServer::BroadcastServer(Handler handler, QObject *parent)
    : QObject(parent)
    , m_handler(std::move(handler))
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &BroadcastServer::acceptConnections);
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
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        if (m_open >= maxConnections) {
            // Too many at once: answer nothing and let the client retry.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        auto *timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] {
            qCInfo(lcBroadcastServer, "request from %s took too long: dropped",
                   qUtf8Printable(socket->peerAddress().toString()));
            socket->abort();
            socket->deleteLater();
        });
        timer->start(requestTimeoutMs);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
    }
}

void BroadcastServer::readRequest(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll(); // one request per connection; the rest is ignored
        return;
    }
    QByteArray received = socket->property("head").toByteArray();
    received += socket->read(maxRequestBytes + 1 - received.size());
    socket->setProperty("head", received);
    const RequestHead head = RequestHead::parse(received);
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
    socket->setProperty("answered", true);
    QByteArray message = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reason(response.status)
        + "\r\nContent-Type: " + response.contentType
        + "\r\nContent-Length: " + QByteArray::number(response.body.size())
        + "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n";
    if (method != "HEAD")
        message += response.body;
    // The path is logged encoded, so that the log line stays one line.
    const QByteArray shownPath = QUrl::toPercentEncoding(path.left(200), "/");
    qCInfo(lcBroadcastServer, "%s %s from %s: %d, %lld bytes", method.left(16).constData(),
           shownPath.isEmpty() ? "-" : shownPath.constData(),
           qUtf8Printable(socket->peerAddress().toString()), response.status,
           qint64(response.body.size()));
    // A reader too slow to take the answer is dropped too, only later.
    if (auto *timer = socket->findChild<QTimer *>())
        timer->start(writeTimeoutMs);
    socket->write(message);
    socket->disconnectFromHost(); // closes once everything is written
}
