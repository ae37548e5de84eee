// The bridge's cost: one script execution (a cache read), and its share of
// one core at the default polling rate while a player plays. Run it on a
// bus with a player, e.g. under tests/with-private-bus.sh with mpv playing.
#include "platform/DefaultsStore.h"
#include "players/mpris/MprisBridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    DefaultsStore defaults(dir.path());
    MprisBridge bridge(defaults, nullptr);
    std::printf("players: %lld, Music played by: %s\n", qlonglong(bridge.players().size()),
                qPrintable(bridge.standIn(QStringLiteral("Music"))));

    const QStringList scripts{
        QString::fromUtf16(u"tell app \"Music\"\rplayer state \r end tell"),
        QString::fromUtf16(u"tell application \"Music\"\rplayer position\rend tell"),
        QString::fromUtf16(u"tell application \"Music\"\rduration of current track\rend tell"),
        QString::fromUtf16(u"tell app \"Music\"\rname of current track \r end tell"),
    };
    std::vector<qint64> ns;
    ns.reserve(200'000);
    QElapsedTimer timer;
    for (int i = 0; i < 200'000; ++i) {
        timer.start();
        const ScriptResult result = bridge.execute(scripts.at(i % scripts.size()));
        ns.push_back(timer.nsecsElapsed());
        Q_UNUSED(result);
    }
    std::sort(ns.begin(), ns.end());
    std::printf("execute: p50 %.2f us, p99 %.2f us\n", ns[ns.size() / 2] / 1000.0,
                ns[ns.size() * 99 / 100] / 1000.0);

    // The event loop alone for a fixed wall time: signals, polls, settling.
    const double wall = 10.0;
    const double before = cpuSeconds();
    QTimer::singleShot(int(wall * 1000), &app, &QCoreApplication::quit);
    app.exec();
    const double used = cpuSeconds() - before;
    std::printf("cpu: %.3f s over %.0f s wall = %.3f%% of one core\n", used, wall, used / wall * 100);
    return 0;
}
