#include "nowplaying/PlayerLyrics.h"

#include "nowplaying/ScriptSlots.h"

#include <QRegularExpression>

LyricsAnswer PlayerLyrics::lyricsFor(const QString &, const QString &, PlayerId player)
{
    if (player != PlayerId::ITunes && player != PlayerId::Music)
        return LyricsAnswer::none();
    // A result of no type (no lyrics, or no script) reads as no text.
    return fromText(run(m_slots.iTunesLyricsScript).stringValue());
}

LyricsAnswer PlayerLyrics::fromText(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n|\u2028|\u2029"));
    QStringList lines = text.split(lineBreak);
    if (lines.size() > kMaxLines)
        lines.resize(kMaxLines);
    int nonEmpty = 0;
    for (const QString &line : std::as_const(lines))
        nonEmpty += !line.isEmpty();
    if (nonEmpty == 0)
        return LyricsAnswer::none();
    return {LyricsAnswer::State::Lines, lines, nonEmpty, {}, {}};
}
