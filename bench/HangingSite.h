#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

// A site that takes every connection and never answers, on a thread of its
// own: the lyrics sources all pointed at it hang until their time-out.
class HangingSite
{
public:
    HangingSite()
    {
        m_server.moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(&m_server, [this] {
            QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
                while (QTcpSocket *socket = m_server.nextPendingConnection())
                    socket->setParent(&m_server);
            });
            m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0);
            m_port = m_server.serverPort();
        }, Qt::BlockingQueuedConnection);
    }
    ~HangingSite()
    {
        QMetaObject::invokeMethod(&m_server, [this] { m_server.close(); qDeleteAll(m_server.children()); },
                                  Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString root() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    QThread m_thread;
    QTcpServer m_server;
    quint16 m_port = 0;
};
