#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.x server for the companion broadcaster: GET only, one
// request per connection, every answer with "Content-Length" and
// "Connection: close". A request head over maxRequestBytes is refused
// (431), one that does not arrive within requestTimeoutMs is dropped (and
// an answer not taken within writeTimeoutMs), and
// each request is logged in one line. What a path answers is the
// handler's business. Owns its listening socket and its connections. Main
// thread only.
class BroadcastServer : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 maxRequestBytes = 8 * 1024; // RequestHead::maxBytes
    static constexpr int requestTimeoutMs = 5000;
    static constexpr int writeTimeoutMs = 60'000;
    static constexpr int maxConnections = 32;

    struct Response
    {
        int status = 200;
        QByteArray contentType = "text/plain; charset=utf-8";
        QByteArray body;
    };
    // The path as requested (without the query), decoded.
    using Handler = std::function<Response(const QString &path)>;

    explicit BroadcastServer(Handler handler, QObject *parent = nullptr);
    ~BroadcastServer() override;

    // False, with the reason, when the address cannot be listened on.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 port() const;

private:
    void acceptConnections();
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &method, const QString &path, const Response &response);

    Handler m_handler;
    QTcpServer *m_server;
    int m_open = 0;
};
