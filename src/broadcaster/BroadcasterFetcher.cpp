#include "broadcaster/BroadcasterFetcher.h"

#include "broadcaster/BroadcasterRequest.h"
#include "platform/BoundedGet.h"
#include "platform/NetworkPolicy.h"
#include "platform/Log.h"

#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QThread>
#include <atomic>
#include <future>

// What one fetch hands back across the threads. The waiting side may give
// up first; the shared state keeps the promise valid for the worker.
struct FetchJob
{
    QString address;
    qint64 maxBytes = 0;
    std::promise<std::optional<QByteArray>> result;
};

// Lives on the worker thread; runs one fetch at a time on its own manager.
class FetchWorker : public QObject
{
public:
    std::atomic<int> sent{0};
    std::atomic<bool> stopping{false}; // set by the owner: the exchange running ends at once

    void run(std::shared_ptr<FetchJob> job)
    {
        if (!m_manager) {
            m_manager = new QNetworkAccessManager(this);
            m_manager->setProxy(QNetworkProxy::NoProxy); // broadcasters are on the LAN
        }
        const QUrl url = BroadcasterRequest::makeUrl(job->address);
        if (!url.isValid() || !NetworkPolicy::allows(url)) {
            job->result.set_value(std::nullopt);
            return;
        }
        ++sent;
        BoundedGet::Options options;
        options.deadline = std::chrono::milliseconds(BroadcasterFetcher::totalDeadlineMs);
        options.maxBytes = job->maxBytes;
        options.cancel = &stopping;
        BoundedGet::Result result = BoundedGet::get(BroadcasterRequest::makeRequest(url), options, m_manager);
        if (result.timedOut)
            qCWarning(lcBroadcaster, "request to %s took too long", qUtf8Printable(job->address));
        if (result.ok)
            job->result.set_value(std::move(result.body));
        else
            job->result.set_value(std::nullopt);
    }

private:
    QNetworkAccessManager *m_manager = nullptr;
};

namespace {

QMutex &fetchLock()
{
    static QMutex lock;
    return lock;
}

} // namespace

BroadcasterFetcher::BroadcasterFetcher() = default;

BroadcasterFetcher::~BroadcasterFetcher()
{
    if (!m_thread)
        return;
    // A fetch still running (an artwork asked for ahead) is cut short, the
    // thread ends, and then its worker goes: deleting the worker from within
    // the fetch's own waiting would pull its manager from under it.
    m_worker->stopping = true;
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

void BroadcasterFetcher::ensureWorker()
{
    if (m_thread)
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("broadcaster fetches"));
    m_worker = new FetchWorker;
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

std::optional<QByteArray> BroadcasterFetcher::fetch(const QString &address, qint64 maxBytes)
{
    QMutexLocker locker(&fetchLock());
    ensureWorker();
    auto job = std::make_shared<FetchJob>();
    job->address = address;
    job->maxBytes = maxBytes;
    std::future<std::optional<QByteArray>> result = job->result.get_future();
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, job] { worker->run(job); },
                              Qt::QueuedConnection);
    // The worker's own deadline settles the job; the margin here only
    // guards against a worker that never got to run it.
    if (result.wait_for(std::chrono::milliseconds(totalDeadlineMs + 1000)) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

void BroadcasterFetcher::fetchLater(const QString &address, qint64 maxBytes,
                                    std::function<void(std::optional<QByteArray>)> done)
{
    ensureWorker();
    auto job = std::make_shared<FetchJob>();
    job->address = address;
    job->maxBytes = maxBytes;
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, job, done = std::move(done)] {
        worker->run(job);
        done(job->result.get_future().get());
    }, Qt::QueuedConnection);
}

int BroadcasterFetcher::requestsSent() const
{
    return m_worker ? m_worker->sent.load() : 0;
}
