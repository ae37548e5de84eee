#include "platform/BoundedGet.h"

#include "platform/NetworkPolicy.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <memory>
#include <optional>

namespace BoundedGet {

bool isHttp(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

Result get(QNetworkRequest request, const Options &options, QNetworkAccessManager *manager)
{
    Result result;
    const QUrl url = request.url();
    if (!url.isValid() || !isHttp(url)) {
        result.error = QStringLiteral("not an http or https address");
        return result;
    }
    if (!NetworkPolicy::allows(url)) {
        result.error = QStringLiteral("address not allowed");
        return result;
    }
    if (options.cancel && options.cancel->load()) {
        result.error = QStringLiteral("cancelled");
        return result;
    }

    std::optional<QNetworkAccessManager> own;
    if (!manager)
        manager = &own.emplace();

    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    // One more than ours, so that the count below decides.
    request.setMaximumRedirectsAllowed(options.maxRedirects + 1);
    if (!options.userAgent.isEmpty())
        request.setRawHeader("User-Agent", options.userAgent);

    const QDeadlineTimer deadline(options.deadline);
    std::unique_ptr<QNetworkReply> reply(manager->get(request));
    QByteArray body;
    QString failure;
    QEventLoop loop;
    const auto stop = [&](const QString &why) {
        if (failure.isEmpty())
            failure = why;
        reply->abort();
    };
    const QString tooLarge = QStringLiteral("the body is larger than %1 bytes").arg(options.maxBytes);
    int redirects = 0;
    QObject::connect(reply.get(), &QNetworkReply::redirected, reply.get(), [&](const QUrl &target) {
        // Counted here too: the manager's own limit does not hold for
        // redirects a caller verifies.
        if (++redirects > options.maxRedirects)
            stop(QStringLiteral("more than %1 redirects").arg(options.maxRedirects));
        else if (!isHttp(target))
            stop(QStringLiteral("redirect to %1 refused").arg(target.toString()));
        else if (!NetworkPolicy::allows(target))
            stop(QStringLiteral("redirect to %1 not allowed").arg(target.toString()));
        else
            Q_EMIT reply->redirectAllowed();
    });
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > options.maxBytes)
            stop(tooLarge);
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        body += reply->read(options.maxBytes + 1 - body.size());
        if (body.size() > options.maxBytes)
            stop(tooLarge);
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);

    bool timedOut = false;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, reply.get(), [&] {
        timedOut = true;
        stop(QStringLiteral("no complete answer in time"));
    });
    timeout.start(std::chrono::milliseconds(std::max<qint64>(0, deadline.remainingTime())));
    QTimer watch;
    if (options.cancel) {
        QObject::connect(&watch, &QTimer::timeout, reply.get(), [&] {
            if (options.cancel->load())
                stop(QStringLiteral("cancelled"));
        });
        watch.start(20);
    }

    if (!reply->isFinished())
        loop.exec();

    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (failure.isEmpty()) {
        body += reply->read(options.maxBytes + 1 - body.size());
        const bool errorStatus = result.status >= 400;
        const QNetworkReply::NetworkError error = reply->error();
        // An error status shows as a content error; with its body wanted,
        // it is an answer like any other.
        const bool statusOnly = errorStatus && error >= QNetworkReply::ContentAccessDenied
            && error <= QNetworkReply::UnknownServerError;
        if (error != QNetworkReply::NoError && !(statusOnly && options.readErrorBodies))
            failure = reply->errorString();
        else if (reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid())
            failure = QStringLiteral("a redirect not followed");
        else if (result.status < 200 || (errorStatus && !options.readErrorBodies))
            failure = QStringLiteral("status %1").arg(result.status);
        else if (body.size() > options.maxBytes)
            failure = tooLarge;
    }
    result.timedOut = timedOut;
    if (failure.isEmpty()) {
        result.ok = true;
        result.body = std::move(body);
    } else {
        result.error = failure;
    }
    return result;
}

} // namespace BoundedGet
