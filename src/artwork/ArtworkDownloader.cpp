#include "artwork/ArtworkDownloader.h"

#include "platform/BoundedGet.h"
#include "platform/LocalFile.h"
#include "platform/NetworkPolicy.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QNetworkRequest>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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

// Runs on the worker thread: one bounded GET.
void fetch(const QUrl &url, const ArtworkDownloader::Options &options, QDeadlineTimer deadline,
           const std::shared_ptr<Transfer> &transfer)
{
    BoundedGet::Options get;
    get.maxBytes = options.maxBytes;
    get.maxRedirects = options.maxRedirects;
    // A little before the caller stops waiting, so that it gets the outcome.
    const qint64 remaining = std::max<qint64>(0, deadline.remainingTime());
    get.deadline = std::chrono::milliseconds(remaining - std::min<qint64>(100, remaining / 10));
    get.cancel = &transfer->cancelled;
    BoundedGet::Result result = BoundedGet::get(QNetworkRequest(url), get);
    if (result.ok && (result.status < 200 || result.status >= 300)) {
        result.ok = false;
        result.error = QStringLiteral("status %1").arg(result.status);
    }

    std::lock_guard<std::mutex> guard(transfer->lock);
    if (result.ok)
        transfer->body = std::move(result.body);
    else
        transfer->error = result.error.isEmpty() ? QStringLiteral("no answer") : result.error;
}


// Transfers that did not stop in time finish on their own threads. Their
// QThread objects are kept here, deleted once finished (at the next download
// or when the process ends), whichever thread asks: the thread that made
// them may run no event loop that a deleteLater could use.
class LateWorkers
{
public:
    ~LateWorkers()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (QThread *worker : m_workers) {
            if (worker->wait(QDeadlineTimer(std::chrono::seconds(2))))
                delete worker; // one still running at exit is left to the process's end
        }
    }
    void keep(QThread *worker)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_workers.push_back(worker);
    }
    void reap()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        std::erase_if(m_workers, [](QThread *worker) {
            if (!worker->isFinished())
                return false;
            delete worker;
            return true;
        });
    }

private:
    std::mutex m_lock;
    std::vector<QThread *> m_workers;
};

LateWorkers &lateWorkers()
{
    static LateWorkers workers;
    return workers;
}

} // namespace

bool ArtworkDownloader::isAcceptedAddress(const QUrl &url)
{
    return url.isValid() && (BoundedGet::isHttp(url) || isLocalFileAddress(url));
}

QByteArray ArtworkDownloader::download(const QUrl &url, QString *error, const std::atomic<bool> *cancel) const
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
    return fetchOnWorker(url, error, cancel);
}

QByteArray ArtworkDownloader::readLocalFile(const QUrl &url, QString *error) const
{
    QUrl local = url;
    local.setHost(QString()); // "localhost" names this machine
    QString reason;
    const std::optional<QByteArray> body = LocalFile::readRegular(local.toLocalFile(), m_options.maxBytes, &reason);
    if (!body)
        setError(error, reason);
    return body.value_or(QByteArray());
}

QByteArray ArtworkDownloader::fetchOnWorker(const QUrl &url, QString *error,
                                            const std::atomic<bool> *cancel) const
{
    lateWorkers().reap();
    const QDeadlineTimer deadline(m_options.deadline);
    auto transfer = std::make_shared<Transfer>();
    const Options options = m_options;
    QThread *worker = QThread::create([url, options, deadline, transfer] {
        fetch(url, options, deadline, transfer);
    });
    worker->start();
    // In short slices, so that a cancel request is seen soon.
    bool done = false;
    while (!done && !deadline.hasExpired() && !(cancel && cancel->load(std::memory_order_relaxed))) {
        const qint64 left = deadline.remainingTime(); // -1: no deadline
        const qint64 slice = left < 0 ? 25 : std::min<qint64>(25, left);
        done = worker->wait(QDeadlineTimer(std::chrono::milliseconds(slice)));
    }
    if (!done && !worker->wait(QDeadlineTimer(0))) {
        transfer->cancelled = true;
        // The worker aborts within one watch tick; a loaded machine may take
        // longer, and the caller is the artwork worker's own thread, so it is
        // given two seconds. Should it not stop even then, it finishes on its
        // own and is deleted later.
        if (!worker->wait(QDeadlineTimer(std::chrono::seconds(2)))) {
            lateWorkers().keep(worker);
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
