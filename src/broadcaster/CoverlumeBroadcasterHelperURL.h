#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class BroadcasterHelperDelegate;
class QNetworkAccessManager;
class QNetworkReply;

// One asynchronous GET to a broadcaster: collects the body (at most
// BroadcasterRequest::maxTextBodyBytes, counted as it arrives), parses its
// "key : value" lines and tells the delegate, or tells it the exchange
// failed. One request per object.
//
// The exchange deletes itself once its request has ended, so its creator
// need not keep it; a parent (the helper's context) deletes it earlier if
// it goes first, and then the delegate is told nothing. The delegate is
// not owned and must outlive the exchange or its parent. The manager is
// not owned either. Lives on, and must be used from, the thread of the
// manager (the main thread).
class CoverlumeBroadcasterHelperURL : public QObject
{
    Q_OBJECT
public:
    CoverlumeBroadcasterHelperURL(BroadcasterHelperDelegate *delegate,
                                  QNetworkAccessManager &manager, QObject *parent = nullptr);
    ~CoverlumeBroadcasterHelperURL() override;

    // Starts the request and returns at once. An empty address does nothing
    // (the exchange then stays until its parent deletes it).
    void sendGetRequestTo(const QString &address);

    const QString &url() const { return m_url; }

Q_SIGNALS:
    // The request ended, whether or not the delegate was told.
    void ended(const QString &address);

private:
    void onMetaData();
    void onReadyRead();
    void onRedirected(const QUrl &target);
    void onFinished();
    bool refuseResponse();
    void finishWithFailure();
    void end();

    BroadcasterHelperDelegate *m_delegate;
    QNetworkAccessManager &m_manager;
    QString m_url;
    QByteArray m_data;
    QPointer<QNetworkReply> m_connection;
    bool m_ended = false;
};
