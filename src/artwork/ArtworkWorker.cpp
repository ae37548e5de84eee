#include "artwork/ArtworkWorker.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <chrono>

ArtworkWorker::ArtworkWorker(ArtworkDecoder decoder, ArtworkDownloader downloader)
    : m_decoder(decoder), m_downloader(downloader), m_context(std::make_unique<QObject>())
{
    m_thread = std::thread([this] { run(); });
}

ArtworkWorker::~ArtworkWorker()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
        m_queued.reset();
    }
    m_cancel = true;
    m_wake.notify_all();
    m_thread.join();
    // Announcements still queued for the context go with it.
    m_context.reset();
}

std::optional<QImage> ArtworkWorker::kept(const Request &request) const
{
    const auto it = std::find_if(m_kept.cbegin(), m_kept.cend(),
                                 [&request](const Finished &f) { return f.request == request; });
    if (it == m_kept.cend())
        return std::nullopt;
    return it->image;
}

std::optional<QImage> ArtworkWorker::picture(const Request &request)
{
    // Taken in silence: whoever asks now has what they asked for, or asks
    // for something else.
    take(false);
    const bool sameAsWanted = m_wanted && *m_wanted == request;
    if (std::optional<QImage> image = kept(request)) {
        if (sameAsWanted)
            m_owed = false;
        return image;
    }
    if (!sameAsWanted) {
        m_owed = false;
        m_wanted = request;
        m_wantedId = ++m_nextId;
        std::lock_guard<std::mutex> guard(m_lock);
        m_queued = Job{m_wantedId, request};
        // What runs now is no longer wanted.
        if (m_runningId != 0)
            m_cancel = true;
        m_wake.notify_all();
    }
    if (m_waitPixels > 0 && m_waitMs > 0) {
        wait(m_wantedId);
        take(false);
        if (std::optional<QImage> image = kept(request))
            return image;
    }
    m_owed = true;
    return std::nullopt;
}

bool ArtworkWorker::isBusy() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_queued.has_value() || m_runningId != 0;
}

void ArtworkWorker::collect()
{
    take(true);
}

void ArtworkWorker::take(bool announce)
{
    std::deque<std::pair<quint64, Finished>> done;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        done.swap(m_done);
    }
    bool arrived = false;
    for (auto &[id, finished] : done) {
        const Request &request = finished.request;
        m_kept.erase(std::remove_if(m_kept.begin(), m_kept.end(),
                                    [&request](const Finished &f) { return f.request == request; }),
                     m_kept.end());
        m_kept.push_front(std::move(finished));
        if (announce && id == m_wantedId && m_owed) {
            m_owed = false;
            arrived = true;
        }
    }
    while (m_kept.size() > size_t(keptPictures))
        m_kept.pop_back();
    if (arrived && m_arrived)
        m_arrived();
}

void ArtworkWorker::wait(quint64 id)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_wake.wait_for(lock, std::chrono::milliseconds(m_waitMs), [this, id] {
        const bool done = std::any_of(m_done.cbegin(), m_done.cend(),
                                      [id](const auto &entry) { return entry.first == id; });
        return done || m_stopping || (m_runningId == id && m_runningLarge);
    });
}

void ArtworkWorker::run()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_wake.wait(lock, [this] { return m_stopping || m_queued.has_value(); });
        if (m_stopping)
            return;
        const Job job = std::move(*m_queued);
        m_queued.reset();
        m_runningId = job.id;
        m_runningLarge = false;
        m_cancel = false;
        lock.unlock();
        make(job);
    }
}

void ArtworkWorker::make(const Job &job)
{
    QByteArray bytes = job.request.bytes;
    if (bytes.isEmpty() && !job.request.address.isEmpty())
        bytes = m_downloader.download(job.request.address, nullptr, &m_cancel);
    // A picture too large to wait for is announced before it is decoded.
    const QSize declared = ArtworkDecoder::declaredSize(bytes);
    if (declared.isValid() && qint64(declared.width()) * qint64(declared.height()) > m_waitPixels) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_runningLarge = true;
        m_wake.notify_all();
    }
    const QImage image = bytes.isEmpty() ? QImage() : m_decoder.decode(bytes, job.request.boundSide, &m_cancel);
    const bool cancelled = m_cancel;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_runningId = 0;
        if (!cancelled)
            m_done.emplace_back(job.id, Finished{job.request, image});
        m_wake.notify_all();
    }
    if (!cancelled)
        QMetaObject::invokeMethod(m_context.get(), [this] { collect(); }, Qt::QueuedConnection);
}
