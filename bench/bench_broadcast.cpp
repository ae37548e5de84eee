// The companion broadcaster under load and under attack, over loopback only.
//
// Starts coverlume-broadcast on 127.0.0.N with a scenario of simulated
// players, then, in one of three modes:
//   (default)     --clients N --requests R: N clients each asking R times in
//                 a row, every client from a loopback address of its own
//                 (127.0.1.k), as displays on other computers would;
//   --attack KIND --attackers N: idle (connections that send nothing),
//                 slowloris (a head sent a byte every half second) or flood
//                 (complete requests back to back), all from 127.0.0.3,
//                 while a normal client on 127.0.0.2 asks --probes times;
//   --soak        --displays N poll every 3 s while --rate requests a second
//                 arrive for --seconds, at most --concurrency at once.
// Prints polls per second, p50/p99/max in milliseconds, and every request
// that was reset, refused, timed out or answered wrongly; in the soak the
// server's resident memory every 5 s. Everything is bounded: a request gives
// up after --timeout ms, the whole run after --max-seconds.

#include "BenchFigures.h"
#include "broadcaster/BroadcastProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

enum class Outcome { Ok, Reset, Refused, TimedOut, Wrong };

// Latencies and outcomes of one kind of request.
struct Tally
{
    std::vector<qint64> ns;
    std::map<Outcome, int> outcomes;

    void add(Outcome outcome, qint64 latency)
    {
        ++outcomes[outcome];
        if (outcome == Outcome::Ok)
            ns.push_back(latency);
    }
    int count(Outcome outcome) const
    {
        const auto it = outcomes.find(outcome);
        return it == outcomes.end() ? 0 : it->second;
    }
    int total() const
    {
        int sum = 0;
        for (const auto &[outcome, n] : outcomes)
            sum += n;
        return sum;
    }
    double percentileMs(double p)
    {
        if (ns.empty())
            return 0;
        std::sort(ns.begin(), ns.end());
        const size_t rank = size_t(std::ceil(p * double(ns.size())));
        return double(ns[std::clamp<size_t>(rank, 1, ns.size()) - 1]) / 1e6;
    }
    int within(qint64 limitNs) const
    {
        return int(std::count_if(ns.begin(), ns.end(), [limitNs](qint64 n) { return n <= limitNs; }));
    }
    void print(const char *name)
    {
        std::printf("%s: %d requests, %d ok, p50 %.2f ms, p99 %.2f ms, max %.2f ms; "
                    "reset %d, refused %d, timed out %d, wrong answer %d\n",
                    name, total(), count(Outcome::Ok), percentileMs(0.5), percentileMs(0.99), percentileMs(1.0),
                    count(Outcome::Reset), count(Outcome::Refused), count(Outcome::TimedOut),
                    count(Outcome::Wrong));
    }
};

// One non-blocking connection. A request sends its head, reads to the end
// and checks the answer; an idle one sends nothing; a slow one sends its
// head a byte at a time.
struct Connection
{
    enum class Kind { Request, Idle, Slow };
    int fd = -1;
    Kind kind = Kind::Request;
    bool connected = false;
    std::string out;
    size_t sent = 0;
    std::string in;
    qint64 started = 0;
    std::function<void(Outcome, qint64)> done;
};

class Loop
{
public:
    Loop(sockaddr_in server, qint64 timeoutNs)
        : m_server(server)
        , m_timeoutNs(timeoutNs)
        , m_epoll(epoll_create1(EPOLL_CLOEXEC))
    {
    }
    ~Loop()
    {
        for (auto &[fd, connection] : m_connections)
            ::close(fd);
        ::close(m_epoll);
    }

    // Calls fn at time atNs.
    void at(qint64 atNs, std::function<void()> fn) { m_timers.emplace(atNs, std::move(fn)); }

    // Opens a connection from `from`; done is called once with the outcome.
    bool open(const char *from, Connection::Kind kind, std::string request,
              std::function<void(Outcome, qint64)> done)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            std::fprintf(stderr, "bench_broadcast: socket: %s\n", std::strerror(errno));
            done(Outcome::Refused, 0);
            return false;
        }
        sockaddr_in source {};
        source.sin_family = AF_INET;
        inet_pton(AF_INET, from, &source.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr *>(&source), sizeof source);
        Connection &connection = m_connections[fd];
        connection = Connection();
        connection.fd = fd;
        connection.kind = kind;
        connection.out = std::move(request);
        connection.started = nowNs();
        connection.done = std::move(done);
        ++m_open;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&m_server), sizeof m_server) < 0
            && errno != EINPROGRESS) {
            finish(fd, errno == ECONNREFUSED ? Outcome::Refused : Outcome::Reset);
            return false;
        }
        epoll_event event {};
        event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
        event.data.fd = fd;
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event);
        if (kind == Connection::Kind::Request)
            at(connection.started + m_timeoutNs, [this, fd, started = connection.started] {
                const auto it = m_connections.find(fd);
                if (it != m_connections.end() && it->second.started == started)
                    finish(fd, Outcome::TimedOut);
            });
        return true;
    }

    // Sends the next byte of a slow connection's head; false once it is gone.
    bool trickle(int fd)
    {
        const auto it = m_connections.find(fd);
        if (it == m_connections.end() || !it->second.connected)
            return it != m_connections.end();
        Connection &connection = it->second;
        const char byte = connection.out[connection.sent % connection.out.size()];
        if (::send(fd, &byte, 1, MSG_NOSIGNAL) == 1)
            ++connection.sent;
        return true;
    }

    // Runs until stop() returns true or the deadline passes.
    void run(qint64 untilNs, const std::function<bool()> &stop)
    {
        std::vector<epoll_event> events(256);
        while (!stop() && nowNs() < untilNs) {
            const qint64 now = nowNs();
            while (!m_timers.empty() && m_timers.begin()->first <= now) {
                auto fn = std::move(m_timers.begin()->second);
                m_timers.erase(m_timers.begin());
                fn();
            }
            qint64 waitNs = untilNs - now;
            if (!m_timers.empty())
                waitNs = std::min(waitNs, m_timers.begin()->first - now);
            const int waitMs = int(std::clamp<qint64>(waitNs / 1'000'000, 0, 50));
            const int n = epoll_wait(m_epoll, events.data(), int(events.size()), waitMs);
            for (int i = 0; i < n; ++i)
                handle(events[i].data.fd, events[i].events);
        }
    }

    int open() const { return m_open; }

private:
    void handle(int fd, uint32_t flags)
    {
        const auto it = m_connections.find(fd);
        if (it == m_connections.end())
            return;
        Connection &connection = it->second;
        if (!connection.connected) {
            int error = 0;
            socklen_t length = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error != 0) {
                finish(fd, error == ECONNREFUSED ? Outcome::Refused
                           : error == ETIMEDOUT  ? Outcome::TimedOut
                                                 : Outcome::Reset);
                return;
            }
            if (!(flags & EPOLLOUT))
                return;
            connection.connected = true;
            if (connection.kind == Connection::Kind::Request) {
                const ssize_t n = ::send(fd, connection.out.data(), connection.out.size(), MSG_NOSIGNAL);
                if (n != ssize_t(connection.out.size())) {
                    finish(fd, Outcome::Reset);
                    return;
                }
            }
            epoll_event event {};
            event.events = EPOLLIN | EPOLLRDHUP;
            event.data.fd = fd;
            epoll_ctl(m_epoll, EPOLL_CTL_MOD, fd, &event);
        }
        if (flags & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
            char buffer[16384];
            for (;;) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n > 0) {
                    connection.in.append(buffer, size_t(n));
                    continue;
                }
                if (n == 0) {
                    finish(fd, judge(connection));
                } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    finish(fd, Outcome::Reset);
                }
                return;
            }
        }
    }

    // A whole 200 answer is Ok; an answer cut short was reset.
    static Outcome judge(const Connection &connection)
    {
        const std::string &in = connection.in;
        if (connection.kind != Connection::Kind::Request)
            return Outcome::Ok; // closed by the server: what attackers should get
        const size_t end = in.find("\r\n\r\n");
        const size_t length = in.find("Content-Length: ");
        if (end == std::string::npos || length == std::string::npos)
            return in.empty() ? Outcome::Reset : Outcome::Wrong;
        if (in.size() - end - 4 != std::stoull(in.substr(length + 16, 20)))
            return Outcome::Reset;
        return in.compare(0, 12, "HTTP/1.1 200") == 0 ? Outcome::Ok : Outcome::Wrong;
    }

    void finish(int fd, Outcome outcome)
    {
        const auto it = m_connections.find(fd);
        if (it == m_connections.end())
            return;
        auto done = std::move(it->second.done);
        const qint64 latency = nowNs() - it->second.started;
        epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
        m_connections.erase(it);
        --m_open;
        if (done)
            done(outcome, latency);
    }

    sockaddr_in m_server;
    qint64 m_timeoutNs;
    int m_epoll;
    int m_open = 0;
    std::map<int, Connection> m_connections;
    std::multimap<qint64, std::function<void()>> m_timers;
};

struct Options
{
    QString binary;
    QString listen = QStringLiteral("127.0.0.60");
    QString players = QStringLiteral(COVERLUME_SOURCE_DIR "/bench/scenarios/itunes.json");
    int clients = 10;
    int requests = 500;
    QString attack;
    int attackers = 0;
    int probes = 100;
    bool soak = false;
    int displays = 100;
    int rate = 1000;
    int seconds = 60;
    int concurrency = 100;
    int timeoutMs = 5000;
    int maxSeconds = 180;
};

std::string address(int network, int host)
{
    return "127.0." + std::to_string(network) + '.' + std::to_string(host);
}

const std::string kPoll = "GET / HTTP/1.1\r\nHost: bench\r\n\r\n";

// Closed loop: each client asks again as soon as it has its answer.
int runClients(Loop &loop, const Options &options, qint64 deadline)
{
    Tally tally;
    int finished = 0;
    std::vector<std::string> sources;
    for (int i = 0; i < options.clients; ++i)
        sources.push_back(address(1 + i / 250, 1 + i % 250));
    std::function<void(int, int)> ask = [&](int client, int left) {
        loop.open(sources[size_t(client)].c_str(), Connection::Kind::Request, kPoll,
                  [&, client, left](Outcome outcome, qint64 ns) {
                      tally.add(outcome, ns);
                      if (left > 1)
                          loop.at(0, [&ask, client, left] { ask(client, left - 1); });
                      else
                          ++finished;
                  });
    };
    const qint64 start = nowNs();
    for (int i = 0; i < options.clients; ++i)
        ask(i, options.requests);
    loop.run(deadline, [&] { return finished == options.clients; });
    const double seconds = double(nowNs() - start) / 1e9;
    std::printf("clients %d x %d requests: %.0f polls/s over %.2f s\n", options.clients, options.requests,
                tally.count(Outcome::Ok) / seconds, seconds);
    tally.print("polls");
    return finished == options.clients ? 0 : 3;
}

// Keeps `attackers` attacking connections open from 127.0.0.3 while a
// normal client on 127.0.0.2 asks `probes` times, one after the other.
int runAttack(Loop &loop, const Options &options, qint64 deadline)
{
    const char *attacker = "127.0.0.3";
    Connection::Kind kind = Connection::Kind::Idle;
    if (options.attack == QLatin1String("slowloris"))
        kind = Connection::Kind::Slow;
    else if (options.attack == QLatin1String("flood"))
        kind = Connection::Kind::Request;
    else if (options.attack != QLatin1String("idle"))
        return std::fprintf(stderr, "bench_broadcast: --attack idle, slowloris or flood\n"), 2;

    bool over = false;
    int opened = 0;
    int closedByServer = 0;
    Tally flood;
    std::function<void()> attack = [&] {
        if (over)
            return;
        ++opened;
        const std::string head = kind == Connection::Kind::Request ? kPoll : "GET / HTTP/1.1\r\nX-a: aaaaaaaaaaaaaaaa";
        auto done = [&](Outcome outcome, qint64 ns) {
            if (kind == Connection::Kind::Request)
                flood.add(outcome, ns);
            else
                ++closedByServer;
            // Attackers come back at once, as a real one would.
            loop.at(0, attack);
        };
        loop.open(attacker, kind, head, done);
    };
    for (int i = 0; i < options.attackers; ++i)
        attack();
    // The slow ones send a byte of their head each half second.
    std::function<void()> trickle;
    if (kind == Connection::Kind::Slow) {
        trickle = [&] {
            for (int fd = 0; fd < 65536 && !over; ++fd)
                loop.trickle(fd);
            loop.at(nowNs() + 500'000'000, trickle);
        };
        loop.at(nowNs() + 500'000'000, trickle);
    }
    // Let the attack take hold first.
    const qint64 settle = nowNs() + 1'000'000'000;
    loop.run(settle, [] { return false; });

    Tally probe;
    int asked = 0;
    std::function<void()> ask = [&] {
        ++asked;
        loop.open("127.0.0.2", Connection::Kind::Request, kPoll, [&](Outcome outcome, qint64 ns) {
            probe.add(outcome, ns);
            if (asked < options.probes)
                loop.at(nowNs() + 20'000'000, ask);
        });
    };
    ask();
    loop.run(deadline, [&] { return probe.total() == options.probes; });
    over = true;
    std::printf("attack %s: %d attacking connections kept open (%d opened, %d closed by the server)\n",
                qPrintable(options.attack), options.attackers, opened, closedByServer);
    if (kind == Connection::Kind::Request)
        flood.print("flood");
    probe.print("normal client");
    std::printf("normal client answered within 1 s: %d of %d\n", probe.within(1'000'000'000), options.probes);
    return probe.total() == options.probes ? 0 : 3;
}

// Displays polling every 3 s, each from its own address, and a steady
// stream of requests on top, never more than `concurrency` at once.
int runSoak(Loop &loop, const Options &options, qint64 pid, qint64 deadline)
{
    Tally displays;
    Tally burst;
    int inFlight = 0;
    int held = 0; // burst requests that had to wait for a free connection
    const qint64 start = nowNs();
    const qint64 end = start + qint64(options.seconds) * 1'000'000'000;
    std::function<void(int)> poll = [&](int display) {
        if (nowNs() >= end)
            return;
        ++inFlight;
        loop.open(address(1, 1 + display).c_str(), Connection::Kind::Request, kPoll,
                  [&](Outcome outcome, qint64 ns) {
                      --inFlight;
                      displays.add(outcome, ns);
                  });
        loop.at(nowNs() + 3'000'000'000, [&poll, display] { poll(display); });
    };
    for (int i = 0; i < options.displays; ++i)
        loop.at(start + qint64(i) * 3'000'000'000 / options.displays, [&poll, i] { poll(i); });

    const qint64 interval = 1'000'000'000 / std::max(1, options.rate);
    std::function<void(qint64, int)> fire = [&](qint64 due, int n) {
        if (due >= end)
            return;
        if (inFlight >= options.concurrency) {
            ++held;
            loop.at(nowNs() + 100'000, [&fire, due, n] { fire(due, n); });
            return;
        }
        ++inFlight;
        loop.open(address(2, 1 + n % 100).c_str(), Connection::Kind::Request, kPoll,
                  [&](Outcome outcome, qint64 ns) {
                      --inFlight;
                      burst.add(outcome, ns);
                  });
        loop.at(due + interval, [&fire, due, interval, n] { fire(due + interval, n + 1); });
    };
    loop.at(start, [&] { fire(start, 0); });

    std::vector<long> memory;
    std::function<void()> sample = [&] {
        memory.push_back(BenchFigures::residentKiB(pid));
        if (nowNs() < end)
            loop.at(nowNs() + 5'000'000'000, sample);
    };
    loop.at(start, sample);
    loop.run(std::min(deadline, end + qint64(options.timeoutMs) * 1'000'000), [&] { return nowNs() >= end && inFlight == 0; });
    memory.push_back(BenchFigures::residentKiB(pid));

    std::printf("soak: %d displays every 3 s and %d requests/s for %d s, at most %d at once "
                "(%d requests waited for a free connection)\n",
                options.displays, options.rate, options.seconds, options.concurrency, held);
    displays.print("displays");
    burst.print("burst");
    std::printf("server resident memory (KiB, every 5 s):");
    for (long kib : memory)
        std::printf(" %ld", kib);
    std::printf("\n");
    return 0;
}

bool parse(const QStringList &arguments, Options *options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &name = arguments.at(i);
        auto value = [&]() -> QString { return i + 1 < arguments.size() ? arguments.at(++i) : QString(); };
        if (name == QLatin1String("--binary")) options->binary = value();
        else if (name == QLatin1String("--listen")) options->listen = value();
        else if (name == QLatin1String("--players")) options->players = value();
        else if (name == QLatin1String("--clients")) options->clients = value().toInt();
        else if (name == QLatin1String("--requests")) options->requests = value().toInt();
        else if (name == QLatin1String("--attack")) options->attack = value();
        else if (name == QLatin1String("--attackers")) options->attackers = value().toInt();
        else if (name == QLatin1String("--probes")) options->probes = value().toInt();
        else if (name == QLatin1String("--soak")) options->soak = true;
        else if (name == QLatin1String("--displays")) options->displays = value().toInt();
        else if (name == QLatin1String("--rate")) options->rate = value().toInt();
        else if (name == QLatin1String("--seconds")) options->seconds = value().toInt();
        else if (name == QLatin1String("--concurrency")) options->concurrency = value().toInt();
        else if (name == QLatin1String("--timeout")) options->timeoutMs = value().toInt();
        else if (name == QLatin1String("--max-seconds")) options->maxSeconds = value().toInt();
        else return std::fprintf(stderr, "bench_broadcast: unknown option %s\n", qPrintable(name)), false;
    }
    // Bounded in count and time, whatever is asked.
    options->clients = std::clamp(options->clients, 1, 1000);
    options->requests = std::clamp(options->requests, 1, 100'000);
    options->attackers = std::clamp(options->attackers, 0, 2000);
    options->probes = std::clamp(options->probes, 1, 10'000);
    options->displays = std::clamp(options->displays, 1, 250);
    options->rate = std::clamp(options->rate, 1, 5000);
    options->seconds = std::clamp(options->seconds, 1, 600);
    options->concurrency = std::clamp(options->concurrency, 1, 1000);
    options->maxSeconds = std::clamp(options->maxSeconds, 1, 900);
    sockaddr_in check {};
    if (inet_pton(AF_INET, qPrintable(options->listen), &check.sin_addr) != 1
        || (ntohl(check.sin_addr.s_addr) >> 24) != 127)
        return std::fprintf(stderr, "bench_broadcast: --listen takes a loopback address (127.x.x.x)\n"), false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    options.binary = QCoreApplication::applicationDirPath() + QStringLiteral("/../coverlume-broadcast");
    if (!parse(app.arguments(), &options))
        return 2;
    if (options.attack.size() > 0 && options.attackers == 0)
        options.attackers = options.attack == QLatin1String("idle") ? 500 : 200;
    if (!QFileInfo(options.players).isFile())
        return std::fprintf(stderr, "bench_broadcast: no scenario %s\n", qPrintable(options.players)), 2;

    // Room for every connection the run keeps open.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = std::min<rlim_t>(8192, files.rlim_max);
        setrlimit(RLIMIT_NOFILE, &files);
    }
    std::signal(SIGPIPE, SIG_IGN);

    // The companion runs with settings of its own, on no bus, loopback only.
    QTemporaryDir config;
    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    environment.insert(QStringLiteral("COVERLUME_LOOPBACK_ONLY"), QStringLiteral("1"));
    server.setProcessEnvironment(environment);
    server.setStandardOutputFile(QProcess::nullDevice());
    server.setStandardErrorFile(QProcess::nullDevice()); // a line per request
    server.start(options.binary, {"--listen", options.listen, "--players", options.players});
    if (!server.waitForStarted(10'000))
        return std::fprintf(stderr, "bench_broadcast: cannot start %s\n", qPrintable(options.binary)), 2;

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(BroadcastProtocol::port);
    inet_pton(AF_INET, qPrintable(options.listen), &address.sin_addr);
    // Wait until it answers.
    bool up = false;
    for (int attempt = 0; attempt < 100 && !up; ++attempt) {
        Loop loop(address, 1'000'000'000);
        loop.open("127.0.0.1", Connection::Kind::Request, kPoll, [&up](Outcome outcome, qint64) {
            up = outcome == Outcome::Ok;
        });
        loop.run(nowNs() + 1'000'000'000, [&loop] { return loop.open() == 0; });
        if (!up)
            usleep(100'000);
    }
    int status = 2;
    if (!up) {
        std::fprintf(stderr, "bench_broadcast: %s does not answer on %s\n", qPrintable(options.binary),
                     qPrintable(options.listen));
    } else {
        std::printf("coverlume-broadcast on %s (%s); shared machine figures\n", qPrintable(options.listen),
                    qPrintable(QFileInfo(options.binary).canonicalFilePath()));
        Loop loop(address, qint64(options.timeoutMs) * 1'000'000);
        const qint64 deadline = nowNs() + qint64(options.maxSeconds) * 1'000'000'000;
        if (options.soak)
            status = runSoak(loop, options, server.processId(), deadline);
        else if (!options.attack.isEmpty())
            status = runAttack(loop, options, deadline);
        else
            status = runClients(loop, options, deadline);
    }
    server.terminate();
    if (!server.waitForFinished(5000))
        server.kill();
    server.waitForFinished(5000);
    return status;
}
