#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QObject;

// Polls the known broadcaster: a thread of its own wakes every interval,
// asks `due` (on that thread; it must be safe there) whether there is
// anything to poll, and if so hands `poll` to the main thread through the
// context and waits until it has run, giving way to a stop request.
//
// The thread starts at the first start() and runs until stop() (or the
// destructor), which wakes and joins it; after a stop no start starts it
// again. The context must outlive the thread.
class BroadcasterPoller
{
public:
    BroadcasterPoller(int intervalMs, QObject &mainContext, std::function<bool()> due,
                      std::function<void()> poll);
    ~BroadcasterPoller();
    BroadcasterPoller(const BroadcasterPoller &) = delete;
    BroadcasterPoller &operator=(const BroadcasterPoller &) = delete;

    void start();
    void stop();

    bool isStarted() const { return m_started; }
    int threadsStarted() const { return m_threadsStarted; }
    // Wake-ups that have been dealt with so far, polled or not.
    int cycles() const { return m_cycles.load(); }

private:
    void maintenanceLoop();

    const int m_intervalMs;
    QObject &m_context;
    std::function<bool()> m_due;
    std::function<void()> m_poll;

    bool m_started = false;
    int m_threadsStarted = 0;
    std::atomic<int> m_cycles{0};
    std::thread m_thread;
    std::mutex m_sleepLock;
    std::condition_variable m_wake;
    bool m_stopping = false;
};
