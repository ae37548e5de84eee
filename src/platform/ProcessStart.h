#pragma once

#include <QByteArray>
#include <optional>

// How long this process has been running: from its start as the kernel
// records it (in clock ticks since boot, so to about 10 ms) to now, on the
// same clock. For start-up lines such as the window's first picture.
// Empty when the record cannot be read. Any thread.
std::optional<double> msSinceProcessStart();

// The start field of a /proc/PID/stat line, in clock ticks since boot:
// the 22nd field, counted after the command name, which may itself hold
// spaces and parentheses. Empty when the line has no such field.
std::optional<qint64> processStartTicks(const QByteArray &statLine);
