#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The system output volume, in percent, through the sound server's own
// tool: pactl (PulseAudio, and PipeWire's pulse server), else wpctl (whose
// 0–1 scale is converted). The tools are looked up on PATH at each call;
// each run is allowed timeoutMs and is killed after that. Where neither
// tool exists, or a tool fails, reading gives no value and stepping does
// nothing. Blocks the caller for at most two runs each, so the display
// steps the volume from a thread of its own. Any thread.
class SystemVolume
{
public:
    static constexpr int timeoutMs = 1000;

    // Whether either tool is on PATH (a look-up, no run).
    static bool hasTool();
    static std::optional<int> read();
    static bool set(int percent);

    // One step of the volume scripts' rule (steppedVolume). Returns the
    // volume set, or no value.
    static std::optional<int> step(bool up);

    // Parsing of the tools' answers; no value when unreadable.
    static std::optional<int> parsePactl(const QString &output);
    static std::optional<int> parseWpctl(const QString &output);

private:
    static std::optional<QString> run(const QString &tool, const QStringList &arguments);
};
