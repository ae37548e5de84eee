#include "support/NetworkStandIn.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

struct StandInShared
{
    mutable QMutex lock;
    QList<NetworkStandIn::Request> requests;
    NetworkStandIn::Handler handler;
};

class StandInServer : public QTcpServer
{
public:
    explicit StandInServer(std::shared_ptr<StandInShared> shared) : m_shared(std::move(shared))
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

private:
    void read(QTcpSocket *socket)
    {
        QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        const qsizetype end = head.indexOf("\r\n\r\n");
        if (end < 0 || socket->property("done").toBool())
            return;
        socket->setProperty("done", true);
        NetworkStandIn::Request request;
        const QList<QByteArray> lines = head.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines.at(i).indexOf(':');
            if (colon > 0)
                request.headers.insert(lines.at(i).left(colon).trimmed().toLower(),
                                       lines.at(i).mid(colon + 1).trimmed());
        }
        {
            QMutexLocker locker(&m_shared->lock);
            m_shared->requests << request;
        }
        // The handler is set before the thread starts and never changes.
        const NetworkStandIn::Answer answer = m_shared->handler ? m_shared->handler(request) : NetworkStandIn::status(404);
        socket->write(answer.raw);
        socket->disconnectFromHost();
    }

    std::shared_ptr<StandInShared> m_shared;
};

NetworkStandIn::Answer NetworkStandIn::ok(const QByteArray &body, const QByteArray &type)
{
    return {"HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body};
}

NetworkStandIn::Answer NetworkStandIn::status(int code)
{
    const QByteArray body = "status " + QByteArray::number(code) + '\n';
    return {"HTTP/1.1 " + QByteArray::number(code) + " Stand-in\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body};
}

NetworkStandIn::NetworkStandIn(Handler handler)
    : m_shared(std::make_shared<StandInShared>())
    , m_thread(new QThread)
{
    m_shared->handler = std::move(handler);
    m_server = new StandInServer(m_shared);
    m_server->moveToThread(m_thread);
    m_thread->start();
}

NetworkStandIn::~NetworkStandIn()
{
    QMetaObject::invokeMethod(m_server, [server = m_server] { delete server; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool NetworkStandIn::listen(const QString &address, quint16 port)
{
    bool listening = false;
    QMetaObject::invokeMethod(m_server, [&] { listening = m_server->listen(QHostAddress(address), port); },
                              Qt::BlockingQueuedConnection);
    return listening;
}

void NetworkStandIn::close()
{
    QMetaObject::invokeMethod(m_server, [server = m_server] { server->close(); },
                              Qt::BlockingQueuedConnection);
}

QList<NetworkStandIn::Request> NetworkStandIn::requests() const
{
    QMutexLocker locker(&m_shared->lock);
    return m_shared->requests;
}
