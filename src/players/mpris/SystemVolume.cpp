#include "players/mpris/SystemVolume.h"

#include "platform/Log.h"
#include "players/VolumeStep.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

namespace {
const QString kPactl = QStringLiteral("pactl");
const QString kWpctl = QStringLiteral("wpctl");
} // namespace

std::optional<QString> SystemVolume::run(const QString &tool, const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(timeoutMs))
        return std::nullopt;
    if (!process.waitForFinished(timeoutMs)) {
        qCWarning(lcPlayers, "%s took longer than %d ms and was stopped", qUtf8Printable(tool), timeoutMs);
        process.kill();
        process.waitForFinished(timeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput().left(64 * 1024));
}

std::optional<int> SystemVolume::parsePactl(const QString &output)
{
    // "Volume: front-left: 26214 /  40% / -23.88 dB,   front-right: ..."
    static const QRegularExpression percent(QStringLiteral("(\\d{1,3})%"));
    const auto match = percent.match(output);
    if (!match.hasMatch())
        return std::nullopt;
    return std::clamp(match.captured(1).toInt(), 0, 150);
}

std::optional<int> SystemVolume::parseWpctl(const QString &output)
{
    // "Volume: 0.40" or "Volume: 0.40 [MUTED]"
    static const QRegularExpression level(QStringLiteral("Volume:\\s*([0-9]+(?:\\.[0-9]+)?)"));
    const auto match = level.match(output);
    if (!match.hasMatch())
        return std::nullopt;
    const double value = match.captured(1).toDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return std::clamp(int(std::lround(value * 100)), 0, 150);
}

bool SystemVolume::hasTool()
{
    return !QStandardPaths::findExecutable(kPactl).isEmpty() || !QStandardPaths::findExecutable(kWpctl).isEmpty();
}

std::optional<int> SystemVolume::read()
{
    if (const auto out = run(kPactl, {QStringLiteral("get-sink-volume"), QStringLiteral("@DEFAULT_SINK@")}))
        return parsePactl(*out);
    if (const auto out = run(kWpctl, {QStringLiteral("get-volume"), QStringLiteral("@DEFAULT_AUDIO_SINK@")}))
        return parseWpctl(*out);
    return std::nullopt;
}

bool SystemVolume::set(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (run(kPactl, {QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@"),
                     QStringLiteral("%1%").arg(percent)}))
        return true;
    return run(kWpctl, {QStringLiteral("set-volume"), QStringLiteral("@DEFAULT_AUDIO_SINK@"),
                        QString::number(percent / 100.0, 'f', 2)})
        .has_value();
}

std::optional<int> SystemVolume::step(bool up)
{
    const auto current = read();
    if (!current)
        return std::nullopt;
    const int next = steppedVolume(*current, up);
    if (!set(next))
        return std::nullopt;
    return next;
}
