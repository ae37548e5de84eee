#include "artwork/ArtworkDownloader.h"

#include "platform/NetworkPolicy.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isHttp(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

bool isLocalFileAddress(const QUrl &url)
{
    if (url.scheme().toLower() != QLatin1String("file"))
        return false;
    const QString host = url.host();
    return host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// What the worker hands back; shared so that a worker outliving its caller
// (it never should) writes into memory that still exists.
struct Transfer
{
    std::mutex lock;
    QByteArray body;
    QString error;
    std::atomic<bool> cancelled{false};
};

// Runs on the worker thread: one GET with its own manager and event loop.
void fetch(const QUrl &url, const ArtworkDownloader::Options &options, QDeadlineTimer deadline,
           const std::shared_ptr<Transfer> &transfer)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    // One more than ours, so that the count below decides.
    request.setMaximumRedirectsAllowed(options.maxRedirects + 1);
    QNetworkReply *reply = manager.get(request);

    QByteArray body;
    QString failure;
    QEventLoop loop;
    const auto stop = [&](const QString &why) {
        if (failure.isEmpty())
            failure = why;
        reply->abort();
    };
    int redirects = 0;
    QObject::connect(reply, &QNetworkReply::redirected, reply, [&](const QUrl &target) {
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
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > options.maxBytes)
            stop(QStringLiteral("the body is larger than %1 bytes").arg(options.maxBytes));
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&] {
        body += reply->read(options.maxBytes + 1 - body.size());
        if (body.size() > options.maxBytes)
            stop(QStringLiteral("the body is larger than %1 bytes").arg(options.maxBytes));
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, reply,
                     [&] { stop(QStringLiteral("no complete answer in time")); });
    // A little before the caller stops waiting, so that it gets the outcome.
    const qint64 remaining = std::max<qint64>(0, deadline.remainingTime());
    timeout.start(std::chrono::milliseconds(remaining - std::min<qint64>(100, remaining / 10)));
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, reply, [&] {
        if (transfer->cancelled)
            stop(QStringLiteral("no complete answer in time"));
    });
    watch.start(20);

    if (!reply->isFinished())
        loop.exec();

    if (failure.isEmpty()) {
        body += reply->read(options.maxBytes + 1 - body.size());
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError)
            failure = reply->errorString();
        else if (reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid())
            failure = QStringLiteral("a redirect not followed");
        else if (status < 200 || status >= 300)
            failure = QStringLiteral("status %1").arg(status);
        else if (body.size() > options.maxBytes)
            failure = QStringLiteral("the body is larger than %1 bytes").arg(options.maxBytes);
    }
    delete reply;

    std::lock_guard<std::mutex> guard(transfer->lock);
    if (failure.isEmpty())
        transfer->body = body;
    else
        transfer->error = failure;
}

} // namespace

bool ArtworkDownloader::isAcceptedAddress(const QUrl &url)
{
    return url.isValid() && (isHttp(url) || isLocalFileAddress(url));
}

QByteArray ArtworkDownloader::download(const QUrl &url, QString *error) const
{
    if (!isAcceptedAddress(url)) {
        setError(error, QStringLiteral("not an http, https or file address"));
        return {};
    }
    if (isLocalFileAddress(url))
        return readLocalFile(url, error);
    if (!NetworkPolicy::allows(url)) {
        setError(error, QStringLiteral("address not allowed"));
        return {};
    }
    return fetchOnWorker(url, error);
}

QByteArray ArtworkDownloader::readLocalFile(const QUrl &url, QString *error) const
{
    QUrl local = url;
    local.setHost(QString()); // "localhost" names this machine
    const QByteArray path = QFile::encodeName(local.toLocalFile());
    // Non-blocking, so that opening a FIFO does not wait for a writer; the
    // type is checked on the open descriptor, not on the name.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        setError(error, QStringLiteral("cannot open the file"));
        return {};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setError(error, QStringLiteral("not a regular file"));
        return {};
    }
    if (info.st_size > m_options.maxBytes) {
        ::close(fd);
        setError(error, QStringLiteral("the file is larger than %1 bytes").arg(m_options.maxBytes));
        return {};
    }
    QByteArray body;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                body.clear();
            break;
        }
        body.append(chunk, n);
        if (body.size() > m_options.maxBytes) {
            // It grew while being read.
            body.clear();
            break;
        }
    }
    ::close(fd);
    if (body.isEmpty())
        setError(error, QStringLiteral("nothing read"));
    return body;
}

QByteArray ArtworkDownloader::fetchOnWorker(const QUrl &url, QString *error) const
{
    const QDeadlineTimer deadline(m_options.deadline);
    auto transfer = std::make_shared<Transfer>();
    const Options options = m_options;
    QThread *worker = QThread::create([url, options, deadline, transfer] {
        fetch(url, options, deadline, transfer);
    });
    worker->start();
    if (!worker->wait(deadline)) {
        transfer->cancelled = true;
        // The worker aborts within one watch tick; should it not, it is left
        // to finish on its own and delete itself.
        if (!worker->wait(QDeadlineTimer(std::chrono::milliseconds(200)))) {
            QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
            setError(error, QStringLiteral("no complete answer in time"));
            return {};
        }
    }
    delete worker;
    std::lock_guard<std::mutex> guard(transfer->lock);
    if (!transfer->error.isEmpty() || transfer->body.isEmpty())
        setError(error, transfer->error.isEmpty() ? QStringLiteral("empty body") : transfer->error);
    return transfer->error.isEmpty() ? transfer->body : QByteArray();
}
