#include "players/mpris/ArtFetcher.h"

#include "platform/LocalFile.h"
#include "platform/Log.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

ArtFetcher::ArtFetcher(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_network(network)
{
}

ArtFetcher::~ArtFetcher()
{
    cancel();
}

bool ArtFetcher::isImage(const QByteArray &bytes)
{
    if (bytes.size() < 5)
        return false;
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return reader.canRead() && reader.size().isValid();
}

QByteArray ArtFetcher::readFile(const QString &path)
{
    return LocalFile::readRegular(path, maxBytes).value_or(QByteArray());
}

QByteArray ArtFetcher::readDataAddress(const QString &address)
{
    // data:[<type>][;base64],<payload>
    const qsizetype comma = address.indexOf(QLatin1Char(','));
    if (!address.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) || comma < 0)
        return QByteArray();
    // Base64 takes 4 characters for 3 bytes.
    if (address.size() - comma > maxBytes / 3 * 4 + 8)
        return QByteArray();
    const QString header = address.mid(5, comma - 5);
    const QByteArray payload = address.mid(comma + 1).toLatin1();
    if (header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)) {
        const auto decoded = QByteArray::fromBase64Encoding(payload);
        return decoded ? *decoded : QByteArray();
    }
    return QByteArray::fromPercentEncoding(payload);
}

void ArtFetcher::cancel()
{
    ++m_generation;
    m_done = nullptr;
    m_candidates.clear();
    if (m_reply) {
        QNetworkReply *reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void ArtFetcher::fetch(const QStringList &candidates, Done done)
{
    cancel();
    m_candidates = candidates;
    m_done = std::move(done);
    tryNext();
}

void ArtFetcher::finishWith(const QByteArray &bytes, const QString &address)
{
    Done done = std::move(m_done);
    m_done = nullptr;
    m_candidates.clear();
    if (done)
        done(bytes, address);
}

void ArtFetcher::tryNext()
{
    while (!m_candidates.isEmpty()) {
        const QString address = m_candidates.takeFirst();
        const QUrl url(address);
        const QString scheme = url.scheme().toLower();
        QByteArray bytes;
        if (scheme == u"file") {
            bytes = readFile(url.toLocalFile());
        } else if (scheme == u"data") {
            bytes = readDataAddress(address);
        } else if ((scheme == u"http" || scheme == u"https") && m_network) {
            QNetworkRequest request(url);
            request.setTransferTimeout(downloadTimeoutMs);
            request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                 QNetworkRequest::NoLessSafeRedirectPolicy);
            QNetworkReply *reply = m_network->get(request);
            m_reply = reply;
            const quint64 generation = m_generation;
            connect(reply, &QNetworkReply::downloadProgress, this,
                    [reply](qint64 received, qint64 total) {
                        if (received > maxBytes || total > maxBytes)
                            reply->abort();
                    });
            connect(reply, &QNetworkReply::finished, this, [this, reply, address, generation] {
                reply->deleteLater();
                if (generation == m_generation)
                    onReplyFinished(reply, address);
            });
            return;
        }
        if (isImage(bytes)) {
            finishWith(bytes, address);
            return;
        }
        qCInfo(lcPlayers, "no artwork image at %s", qUtf8Printable(address.left(200)));
    }
    finishWith(QByteArray(), QString());
}

void ArtFetcher::onReplyFinished(QNetworkReply *reply, const QString &address)
{
    m_reply = nullptr;
    QByteArray bytes;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && (status == 0 || status / 100 == 2))
        bytes = reply->read(maxBytes + 1);
    if (bytes.size() <= maxBytes && isImage(bytes)) {
        finishWith(bytes, address);
        return;
    }
    qCInfo(lcPlayers, "no artwork image at %s", qUtf8Printable(address.left(200)));
    tryNext();
}
