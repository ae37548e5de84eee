#include "broadcaster/BroadcasterRequest.h"

#include "platform/WebText.h"

namespace BroadcasterRequest {

QUrl makeUrl(const QString &address)
{
    QUrl url(address, QUrl::StrictMode);
    if (url.isValid())
        return url;
    // Escape what may not appear in an address; keep the reserved
    // characters so the address keeps its shape, and "%" so that escapes
    // already in it stay as they are.
    return QUrl(WebText::percentEncodeAddress(address), QUrl::StrictMode);
}

QByteArray hostHeader(const QUrl &url)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']'; // an IPv6 literal
    if (url.port() >= 0)
        host += ':' + QByteArray::number(url.port());
    return host;
}

QNetworkRequest makeRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    request.setRawHeader("User-Agent", "Coverlume/Pro");
    request.setRawHeader("Host", hostHeader(url));
    return request;
}

bool isHttp(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace BroadcasterRequest
