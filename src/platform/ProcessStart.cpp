#include "platform/ProcessStart.h"

#include <QFile>
#include <QList>
#include <ctime>
#include <unistd.h>

std::optional<qint64> processStartTicks(const QByteArray &statLine)
{
    // "PID (command) state ppid …": the command ends at the last ')'.
    const qsizetype close = statLine.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = statLine.mid(close + 1).simplified().split(' ');
    // fields[0] is field 3 (the state); the start is field 22.
    constexpr qsizetype startField = 22 - 3;
    if (fields.size() <= startField)
        return std::nullopt;
    bool ok = false;
    const qint64 ticks = fields.at(startField).toLongLong(&ok);
    if (!ok || ticks < 0)
        return std::nullopt;
    return ticks;
}

std::optional<double> msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<qint64> ticks = processStartTicks(stat.read(4096));
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    timespec now{};
    if (!ticks || perSecond <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    const double nowMs = double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    return nowMs - double(*ticks) * 1e3 / double(perSecond);
}
