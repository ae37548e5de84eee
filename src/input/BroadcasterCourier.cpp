#include "input/BroadcasterCourier.h"

#include "broadcaster/BroadcasterClient.h"

#include <chrono>

BroadcasterCourier &BroadcasterCourier::shared()
{
    static BroadcasterCourier courier;
    return courier;
}

BroadcasterCourier::BroadcasterCourier() : m_thread([this] { carry(); }) {}

BroadcasterCourier::~BroadcasterCourier()
{
    {
        std::lock_guard locker(m_lock);
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void BroadcasterCourier::send(BroadcasterClient &client, Command command)
{
    {
        std::lock_guard locker(m_lock);
        m_jobs.push_back({&client, command});
    }
    m_wake.notify_one();
}

bool BroadcasterCourier::waitUntilIdle(int timeoutMs)
{
    std::unique_lock locker(m_lock);
    return m_idle.wait_for(locker, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_jobs.empty() && !m_busy; });
}

void BroadcasterCourier::carry()
{
    std::unique_lock locker(m_lock);
    for (;;) {
        m_wake.wait(locker, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        const Job job = m_jobs.front();
        m_jobs.pop_front();
        m_busy = true;
        locker.unlock();
        switch (job.command) {
        case Command::PlayPause: job.client->sendPlayPause(); break;
        case Command::Previous: job.client->sendPrev(); break;
        case Command::Next: job.client->sendNext(); break;
        case Command::VolumeUp: job.client->sendVolumeUp(); break;
        case Command::VolumeDown: job.client->sendVolumeDown(); break;
        }
        locker.lock();
        m_busy = false;
        if (m_jobs.empty())
            m_idle.notify_all();
    }
}
