#include "render/CoverNotifier.h"

#include "render/StageImages.h"

#include <QElapsedTimer>

CoverNotifier::CoverNotifier(Post post, QObject *parent)
    : QObject(parent), m_post(std::move(post))
{
    m_pool.setMaxThreadCount(1);
    m_pool.setObjectName(QStringLiteral("cover encoder"));
}

CoverNotifier::~CoverNotifier()
{
    // A result still on its way is dropped with this object's events.
    m_pool.clear();
    m_pool.waitForDone();
}

void CoverNotifier::request(const QImage &picture, qint64 key, int maxSide)
{
    m_queue.push_back(Request{picture, key, maxSide});
    // Even a picture encoded already goes out from the event loop: sending
    // megabytes on the bus is no work for the frame either.
    if (m_pumpScheduled || m_busy)
        return;
    m_pumpScheduled = true;
    QMetaObject::invokeMethod(this, [this]() {
        m_pumpScheduled = false;
        pump();
    }, Qt::QueuedConnection);
}

void CoverNotifier::forget()
{
    m_data.clear();
    m_hasData = false;
    m_dataKey = 0;
}

void CoverNotifier::pump()
{
    while (!m_busy && !m_queue.empty()) {
        Request &next = m_queue.front();
        if (next.picture.isNull() || (m_hasData && next.key == m_dataKey)) {
            const QByteArray data = next.picture.isNull() ? QByteArray() : m_data;
            m_queue.pop_front();
            if (m_post)
                m_post(data);
            continue;
        }
        m_busy = true;
        const QImage picture = next.picture;
        const qint64 key = next.key;
        const int maxSide = next.maxSide;
        next.picture = QImage(); // the worker holds it now
        m_pool.start([picture, key, maxSide, owner = this]() {
            QElapsedTimer timer;
            timer.start();
            QImage shown = picture;
            if (maxSide > 0 && (shown.width() > maxSide || shown.height() > maxSide))
                shown = shown.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            const QByteArray data = StageImages::cappedTiffData(shown);
            const qint64 ns = timer.nsecsElapsed();
            // The owner waits for this task before it goes, so it is alive
            // here; a call still queued when it goes is dropped with it.
            QMetaObject::invokeMethod(owner, [owner, key, data, ns]() { owner->finished(key, data, ns); },
                                      Qt::QueuedConnection);
        });
    }
}

void CoverNotifier::finished(qint64 key, const QByteArray &data, qint64 ns)
{
    m_busy = false;
    m_data = data;
    m_dataKey = key;
    m_hasData = !data.isEmpty();
    m_lastEncodeNs = ns;
    ++m_encodings;
    if (!m_queue.empty()) {
        m_queue.pop_front();
        if (m_post)
            m_post(data);
    }
    pump();
}
