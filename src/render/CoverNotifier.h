#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <deque>
#include <functional>

// Sends the displayed cover to other applications without holding up the
// frame that lays it out: the picture is encoded (TIFF, within
// StageImages::kMaxCoverNotificationBytes) on a thread of its own, and the
// notification goes out from the event loop when the data is ready. Every
// request is posted once, in the order asked; a picture already encoded is
// posted with the data kept from last time. Only the last encoding is kept.
//
// The pool is its own: Qt spreads large fills and blends over its global
// pool, which the frames use. Main thread only (the encoding aside).
class CoverNotifier : public QObject
{
    Q_OBJECT
public:
    // Called on the main thread with each request's data (empty: none).
    using Post = std::function<void(const QByteArray &tiff)>;
    explicit CoverNotifier(Post post, QObject *parent = nullptr);
    ~CoverNotifier() override;

    // Posts `picture` (named by `key`: the same key is the same picture),
    // scaled down to at most `maxSide` pixels a side first when that is
    // above 0. A null picture posts no data.
    void request(const QImage &picture, qint64 key, int maxSide = 0);
    // Forgets the kept encoding (the picture it was made from is gone).
    void forget();

    bool isIdle() const { return !m_busy && m_queue.empty(); }
    bool isEncoding() const { return m_busy; }
    // The last encoding made: its bytes and the time it took on the worker.
    qsizetype lastBytes() const { return m_data.size(); }
    qint64 lastEncodeNs() const { return m_lastEncodeNs; }
    int encodings() const { return m_encodings; }

private:
    struct Request
    {
        QImage picture;
        qint64 key = 0;
        int maxSide = 0;
    };
    void pump();
    void finished(qint64 key, const QByteArray &data, qint64 ns);

    Post m_post;
    std::deque<Request> m_queue;
    bool m_busy = false;
    bool m_pumpScheduled = false;
    QByteArray m_data;
    qint64 m_dataKey = 0;
    bool m_hasData = false;
    qint64 m_lastEncodeNs = 0;
    int m_encodings = 0;
    QThreadPool m_pool; // last: it waits for a running encoding before the rest goes
};
