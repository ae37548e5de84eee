#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class BroadcasterClient;

// Carries the remote-control keys to the broadcaster client on a thread of
// its own: the client's commands wait for the broadcaster's answer (up to
// its 10-second deadline), which the frame must never do. Commands go out
// one at a time, in the order given.
//
// One per process (shared()); the clients handed to it must outlive the
// commands sent through them (the process-wide client does). Any thread.
class BroadcasterCourier
{
public:
    enum class Command { PlayPause, Previous, Next, VolumeUp, VolumeDown };

    static BroadcasterCourier &shared();

    BroadcasterCourier();
    // Drops what has not gone out yet and waits for the one on its way.
    ~BroadcasterCourier();
    BroadcasterCourier(const BroadcasterCourier &) = delete;
    BroadcasterCourier &operator=(const BroadcasterCourier &) = delete;

    // Returns at once.
    void send(BroadcasterClient &client, Command command);
    // Blocks until every command sent so far has been carried, or the
    // milliseconds have passed; true when none is left.
    bool waitUntilIdle(int timeoutMs);

private:
    struct Job
    {
        BroadcasterClient *client;
        Command command;
    };
    void carry();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread; // last: started when everything above is ready
};
