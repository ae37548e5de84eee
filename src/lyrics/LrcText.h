#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Lines with the moment each is sung, in milliseconds from the start of the
// track, sorted by time (equal times in the order they were written). An
// empty line is a pause.
struct SyncedLines
{
    QStringList lines;
    QList<qint64> timesMs; // one per line

    bool isEmpty() const { return lines.isEmpty(); }
    bool operator==(const SyncedLines &) const = default;
};

// Reading of timed lyrics files (".lrc") and of the same text from the
// synced-lyrics service. Pure; any thread.
namespace LrcText {

constexpr int kMaxLines = 5000;
constexpr int kMaxLineCharacters = 4096;
constexpr qint64 kMaxFileBytes = 1024 * 1024;

// "[mm:ss.xx]text" (0 to 3 fraction digits, or "[mm:ss:xx]"), several time
// tags before one text, "[offset:±ms]" applied (positive: earlier), other
// tags skipped, word tags "<mm:ss.xx>" removed. A malformed line is skipped.
// Nothing when no line is timed.
std::optional<SyncedLines> read(const QString &text);
// The bytes of a file: UTF-8 with or without a byte order mark. Nothing when
// they are not valid UTF-8 (`why` says so) or hold no timed line.
std::optional<SyncedLines> readBytes(QByteArrayView bytes, QString *why = nullptr);

} // namespace LrcText
