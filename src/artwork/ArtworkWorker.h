#pragma once

#include "artwork/ArtworkDecoder.h"
#include "artwork/ArtworkDownloader.h"

#include <QImage>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QObject;

// Turns artwork bytes, or the address of artwork, into a picture on a
// thread of its own, so that a layout never waits for a download or a
// decoding.
//
// A layout asks with picture(): a picture already finished is answered at
// once; otherwise the work is queued and the layout goes on without it. Only
// the latest request matters: it replaces a queued one that has not started,
// and a running one for another picture is cancelled. When the picture last
// asked for is finished after the layout was answered "not yet", the arrival
// handler runs on the owner's thread; the next request for it finds it.
// The last few finished pictures are kept, so asking again at every layout
// costs a comparison of the bytes.
//
// waitForSmallPictures() makes picture() wait, for at most a given time,
// for work whose header declares at most that many pixels, which decodes in
// a few milliseconds, and for the download that comes before it; a larger
// picture still arrives later. Runs that must give the same pictures every
// time (headless runs of a set number of frames) wait up to maxWaitMs; a
// live display waits a few tens of milliseconds, so that a new track's
// cover shows at its layout instead of the fallback and a fade later.
//
// The decoder's caps hold on the worker as anywhere. The owner's thread
// (the one that built it) calls everything; the destructor cancels the work
// running and joins the thread.
class ArtworkWorker
{
public:
    struct Request
    {
        QByteArray bytes; // the encoded picture; or, when empty,
        QUrl address;     // where to download it from
        int boundSide = 0; // the decoder's bound

        bool operator==(const Request &other) const
        {
            // Shared bytes (a player's cached answer) compare without a scan.
            return boundSide == other.boundSide && address == other.address
                && bytes.size() == other.bytes.size()
                && (bytes.constData() == other.bytes.constData() || bytes == other.bytes);
        }
    };

    static constexpr int keptPictures = 4;
    // What waitForSmallPictures() waits for at most, download included.
    static constexpr int maxWaitMs = 15000;

    explicit ArtworkWorker(ArtworkDecoder decoder = {}, ArtworkDownloader downloader = {});
    ~ArtworkWorker();
    ArtworkWorker(const ArtworkWorker &) = delete;
    ArtworkWorker &operator=(const ArtworkWorker &) = delete;

    // The finished picture (null when the bytes held none, or the download
    // failed); nullopt while it is still being made.
    std::optional<QImage> picture(const Request &request);

    void setArrivalHandler(std::function<void()> handler) { m_arrived = std::move(handler); }
    // 0 pixels (the default): never wait. The time is capped at maxWaitMs.
    void waitForSmallPictures(qint64 maxDeclaredPixels, int waitMs = maxWaitMs)
    {
        m_waitPixels = maxDeclaredPixels;
        m_waitMs = std::clamp(waitMs, 0, maxWaitMs);
    }
    qint64 waitsForPicturesUpTo() const { return m_waitPixels; }

    // Whether work is queued or running (for tests).
    bool isBusy() const;
    // Takes what the worker finished, as the owner's event loop would
    // (for tests that run no event loop).
    void collect();

private:
    struct Job
    {
        quint64 id = 0;
        Request request;
    };
    struct Finished
    {
        Request request;
        QImage image;
    };
    void take(bool announce);
    void run();
    void make(const Job &job);
    void wait(quint64 id);
    std::optional<QImage> kept(const Request &request) const;

    const ArtworkDecoder m_decoder;
    const ArtworkDownloader m_downloader;
    std::function<void()> m_arrived;
    std::atomic<qint64> m_waitPixels{0}; // read by the worker too
    int m_waitMs = maxWaitMs;

    // Owner's thread only.
    std::deque<Finished> m_kept; // newest first
    std::optional<Request> m_wanted;
    quint64 m_wantedId = 0;
    bool m_owed = false; // the wanted picture was answered "not yet"
    quint64 m_nextId = 0;
    std::unique_ptr<QObject> m_context; // where finished work is announced

    // Shared with the worker, under m_lock.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::optional<Job> m_queued;
    quint64 m_runningId = 0;
    bool m_runningLarge = false; // its header declared more than m_waitPixels
    std::deque<std::pair<quint64, Finished>> m_done;
    bool m_stopping = false;
    std::atomic<bool> m_cancel{false}; // the running job is no longer wanted

    std::thread m_thread;
};
