#include "broadcaster/BroadcasterPoller.h"

#include <QMetaObject>
#include <QObject>
#include <QSemaphore>
#include <chrono>
#include <memory>

BroadcasterPoller::BroadcasterPoller(int intervalMs, QObject &mainContext, std::function<bool()> due,
                                     std::function<void()> poll)
    : m_intervalMs(intervalMs)
    , m_context(mainContext)
    , m_due(std::move(due))
    , m_poll(std::move(poll))
{
}

BroadcasterPoller::~BroadcasterPoller()
{
    stop();
}

void BroadcasterPoller::start()
{
    if (m_started)
        return;
    m_started = true;
    {
        std::lock_guard<std::mutex> lock(m_sleepLock);
        if (m_stopping)
            return; // stopped for good: the application is quitting
    }
    ++m_threadsStarted;
    m_thread = std::thread([this] { maintenanceLoop(); });
}

void BroadcasterPoller::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_sleepLock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BroadcasterPoller::maintenanceLoop()
{
    const auto interval = std::chrono::milliseconds(m_intervalMs);
    for (;; ++m_cycles) {
        {
            std::unique_lock<std::mutex> lock(m_sleepLock);
            if (m_wake.wait_for(lock, interval, [this] { return m_stopping; }))
                return;
        }
        if (!m_due())
            continue;
        // The exchange must be made on the main thread to get its events
        // there; wait until it is sent, but give way to a stop request.
        auto sent = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(&m_context, [this, sent] {
            m_poll();
            sent->release();
        }, Qt::QueuedConnection);
        for (;;) {
            if (sent->tryAcquire(1, 100))
                break;
            std::lock_guard<std::mutex> lock(m_sleepLock);
            if (m_stopping)
                return;
        }
    }
}
