#include "broadcaster/CoverlumeBroadcasterHelperURL.h"

#include "broadcaster/BroadcastText.h"
#include "broadcaster/BroadcasterHelperDelegate.h"
#include "broadcaster/BroadcasterRequest.h"
#include "platform/NetworkPolicy.h"
#include "platform/Log.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>

CoverlumeBroadcasterHelperURL::CoverlumeBroadcasterHelperURL(BroadcasterHelperDelegate *delegate,
                                                             QNetworkAccessManager &manager,
                                                             QObject *parent)
    : QObject(parent)
    , m_delegate(delegate)
    , m_manager(manager)
{
}

CoverlumeBroadcasterHelperURL::~CoverlumeBroadcasterHelperURL()
{
    if (m_connection) {
        m_connection->disconnect(this);
        m_connection->abort();
        m_connection->deleteLater();
    }
}

void CoverlumeBroadcasterHelperURL::sendGetRequestTo(const QString &address)
{
    m_url = address;
    if (address.isEmpty())
        return;
    const QUrl url = BroadcasterRequest::makeUrl(address);
    if (!url.isValid() || !NetworkPolicy::allows(url)) {
        qCWarning(lcBroadcaster, "connection can't be created to %s", qUtf8Printable(m_url));
        end();
        return;
    }
    QNetworkReply *reply = m_manager.get(BroadcasterRequest::makeRequest(url));
    if (!reply) {
        qCWarning(lcBroadcaster, "connection can't be created to %s", qUtf8Printable(m_url));
        end();
        return;
    }
    m_connection = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, &CoverlumeBroadcasterHelperURL::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &CoverlumeBroadcasterHelperURL::onReadyRead);
    connect(reply, &QNetworkReply::redirected, this, &CoverlumeBroadcasterHelperURL::onRedirected);
    connect(reply, &QNetworkReply::finished, this, &CoverlumeBroadcasterHelperURL::onFinished);
}

bool CoverlumeBroadcasterHelperURL::refuseResponse()
{
    if (!BroadcasterRequest::isHttp(m_connection->url())) {
        qCInfo(lcBroadcaster, "not http");
        return true;
    }
    const QVariant status = m_connection->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && status.toInt() >= 400;
}

void CoverlumeBroadcasterHelperURL::onMetaData()
{
    if (m_ended || !m_connection)
        return;
    if (m_connection->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() && refuseResponse()) {
        end(); // refused: the delegate is told nothing
        return;
    }
    const QVariant length = m_connection->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > BroadcasterRequest::maxTextBodyBytes)
        finishWithFailure();
}

void CoverlumeBroadcasterHelperURL::onReadyRead()
{
    if (m_ended || !m_connection)
        return;
    const qint64 room = BroadcasterRequest::maxTextBodyBytes - m_data.size();
    if (m_connection->bytesAvailable() > room) {
        finishWithFailure(); // a body this large is no now-playing answer
        return;
    }
    if (m_data.isNull())
        m_data.reserve(10);
    m_data.append(m_connection->readAll());
}

void CoverlumeBroadcasterHelperURL::onRedirected(const QUrl &target)
{
    if (m_ended || !m_connection)
        return;
    if (!NetworkPolicy::allows(target)) {
        finishWithFailure();
        return;
    }
    Q_EMIT m_connection->redirectAllowed();
}

void CoverlumeBroadcasterHelperURL::onFinished()
{
    if (m_ended || !m_connection)
        return;
    if (refuseResponse()) {
        end();
        return;
    }
    const QVariant status = m_connection->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (m_connection->error() != QNetworkReply::NoError || !status.isValid()) {
        finishWithFailure();
        return;
    }
    onReadyRead();
    if (m_ended)
        return;
    const QHash<QString, QString> fields = BroadcastText::parseBody(m_data);
    m_data = QByteArray();
    BroadcasterHelperDelegate *delegate = m_delegate;
    const QString address = m_url;
    end();
    if (delegate)
        delegate->helperURLDidReceiveData(this, fields, address);
}

void CoverlumeBroadcasterHelperURL::finishWithFailure()
{
    BroadcasterHelperDelegate *delegate = m_delegate;
    const QString address = m_url;
    end();
    if (delegate)
        delegate->helperURLReceivedNoData(this, address);
}

void CoverlumeBroadcasterHelperURL::end()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_connection) {
        QNetworkReply *reply = m_connection;
        m_connection = nullptr;
        // Deleting a running reply cancels it; aborting here, inside one of
        // its own signals, would make it report a second error.
        reply->disconnect(this);
        reply->deleteLater();
    }
    Q_EMIT ended(m_url);
    deleteLater();
}
