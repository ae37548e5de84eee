#pragma once

// Figures the benchmarks print: percentiles of per-frame times, and the
// process's resident memory.

#include <QFile>
#include <QList>
#include <algorithm>
#include <cmath>

namespace BenchFigures {

// The p-th percentile (nearest rank) of times in nanoseconds, in milliseconds.
inline double percentileMs(QList<qint64> nanoseconds, double p)
{
    if (nanoseconds.isEmpty())
        return 0;
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const qsizetype rank = qsizetype(std::ceil(p * double(nanoseconds.size())));
    const qsizetype index = std::clamp<qsizetype>(rank - 1, 0, nanoseconds.size() - 1);
    return double(nanoseconds.at(index)) / 1e6;
}

// Resident memory in KiB of this process (or of pid), or -1 where /proc
// does not tell.
inline long residentKiB(qint64 pid = 0)
{
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace BenchFigures
