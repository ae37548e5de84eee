#include "nowplaying/ProgressDetails.h"

#include "broadcaster/BroadcasterClient.h"
#include "nowplaying/NowPlaying.h"
#include "nowplaying/NowPlayingState.h"
#include "nowplaying/PlayerScripts.h"
#include "platform/DefaultsStore.h"
#include "text/AttributedString.h"
#include "platform/Log.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

constexpr quint32 kLongestTrackSeconds = 86399;

bool isOn(const std::optional<QVariantMap> &switches, const char *key)
{
    return switches && DefaultsStore::toBool(switches->value(QLatin1String(key)));
}

// The text of a script answer, or an empty string.
QString textOf(const ScriptSlot &slot)
{
    const QString text = run(slot).stringValue();
    return text.isNull() ? QString() : text;
}

AttributedString formatted(const QString &format, const QString &value)
{
    return AttributedString(value.isEmpty() ? QString() : format.arg(value));
}

AttributedString dateLine(const QString &format, const ScriptSlot &slot)
{
    const std::optional<QDateTime> when = run(slot).dateValue();
    if (!when || !when->isValid())
        return AttributedString();
    return AttributedString(format.arg(ProgressDetails::mediumDate(when->toLocalTime().date())));
}

AttributedString yearLine(const ScriptSlot &slot)
{
    const QString year = textOf(slot);
    return AttributedString(year == QLatin1String("0") ? QString() : year);
}

} // namespace

QString ProgressDetails::mediumDate(const QDate &date)
{
    return QLocale().toString(date, QStringLiteral("d MMM yyyy"));
}

void ProgressDetails::updateProgIndValues()
{
    NowPlayingState &s = m.state;
    ProgressModel &bar = s.progress;
    if (!m.display.showProgress() || !bar.inTree)
        return;
    if (s.track.iTunesRadio) {
        // A stream has no length: the last track's times would be wrong.
        bar.hidden = true;
        return;
    }

    const PlayerTable::Facts *facts = s.current();
    if (facts && facts->showsProgress) {
        setPlayerProgress(*facts);
        bar.hidden = false;
        return;
    }
    if (s.broadcasterPlays() && !m.display.firstRun()) {
        setBroadcasterProgress();
        return;
    }
    bar.hidden = true;
}

bool ProgressDetails::setPlayerProgress(const PlayerTable::Facts &player)
{
    const auto [duration, position] = readPlayerProgress(player);
    const quint32 durationSeconds = static_cast<quint32>(duration);
    if (durationSeconds > kLongestTrackSeconds || static_cast<quint32>(position) > durationSeconds)
        return false;
    m.state.progress.maximum = duration;
    m.state.progress.value = position;
    return true;
}

std::pair<qint32, qint32> ProgressDetails::readPlayerProgress(const PlayerTable::Facts &player)
{
    ScriptSlots &slots = m.scripts.slots;
    qint32 duration = run(slots.durationScript).int32Value();
    const qint32 position = run(slots.bookmarkScript).int32Value();
    if (player.duration == PlayerTable::DurationUnit::Milliseconds)
        duration /= 1000;
    return {duration, position};
}

NowShowing::LyricsTiming ProgressDetails::lyricsTiming()
{
    const NowPlayingState &s = m.state;
    if (s.broadcasterPlays()) {
        // Whole seconds, as a script would answer; nonsense reads as none.
        auto seconds = [](double value) {
            if (!std::isfinite(value))
                return qint32(0);
            return qint32(std::clamp(value, -2147483648.0, 2147483647.0));
        };
        NowShowing::LyricsTiming timing;
        timing.duration = seconds(m.broadcaster.getDuration());
        timing.position = seconds(m.broadcaster.getBookmark());
        return timing;
    }
    if (const PlayerTable::Facts *facts = s.current()) {
        const auto [duration, position] = readPlayerProgress(*facts);
        NowShowing::LyricsTiming timing;
        timing.duration = duration;
        timing.position = position;
        const PlayerFacts known = m.scripts.playerFacts(s.currentPlayer);
        timing.positionMs = known.positionMs;
        timing.location = known.location;
        return timing;
    }
    return {};
}

void ProgressDetails::setBroadcasterProgress()
{
    static const QStringList withProgress = {
        QStringLiteral("itunes"), QStringLiteral("music"), QStringLiteral("spotify"),
        QStringLiteral("ecoute"), QStringLiteral("swinsian"), QStringLiteral("hermes")};
    if (!withProgress.contains(m.broadcaster.getPlayer()))
        return;
    const double duration = m.broadcaster.getDuration();
    const double position = m.broadcaster.getBookmark();
    if (!std::isfinite(duration) || !std::isfinite(position)) {
        qCWarning(lcNowPlaying, "caught exception during updateProgIndValues (related to Broadcaster)");
        return;
    }
    ProgressModel &bar = m.state.progress;
    bar.maximum = duration;
    bar.value = position;
    bar.hidden = false;
}

void ProgressDetails::setUpProStrings()
{
    NowPlayingState &s = m.state;
    TrackRecord &t = s.track;
    const std::optional<QVariantMap> switches = m.display.detailSwitches();

    if (s.broadcasterPlays()) {
        auto fromBroadcaster = [&](const char *key, const QVariant &value, bool number) {
            if (!isOn(switches, key) || !value.isValid() || value.isNull())
                return AttributedString();
            if (number && DefaultsStore::toInteger(value) <= 0)
                return AttributedString();
            return AttributedString(value.toString());
        };
        t.bitrateString = fromBroadcaster("bitRate", m.broadcaster.getBitrate(), true);
        t.bitdepthString = fromBroadcaster("bitDepth", m.broadcaster.getBitdepth(), true);
        t.samplerateString = fromBroadcaster("sampleRate", m.broadcaster.getSamplerate(), true);
        t.kindString = fromBroadcaster("fileKind", m.broadcaster.getKind(), false);
        // The broadcaster reports no library details: none are left over.
        t.releaseYearString = t.dateAddedString = t.lastPlayedString = t.playCountString = AttributedString();
        return;
    }

    ScriptSlots &slots = m.scripts.slots;
    auto positiveNumber = [](const ScriptSlot &slot, const QString &format) {
        const ScriptResult answer = run(slot);
        return answer.int32Value() > 0 ? AttributedString(format.arg(answer.stringValue()))
                                       : AttributedString();
    };
    // Players report an unknown bit rate as 0, which is no rate to show.
    t.bitrateString = isOn(switches, "bitRate")
        ? positiveNumber(slots.bitRateScript, QStringLiteral("%1 kbps")) : AttributedString();
    t.bitdepthString = isOn(switches, "bitDepth")
        ? positiveNumber(slots.bitDepthScript, QStringLiteral("%1-bit")) : AttributedString();
    t.samplerateString = isOn(switches, "sampleRate")
        ? positiveNumber(slots.sampleRateScript, QStringLiteral("%1 Hz")) : AttributedString();
    t.kindString = isOn(switches, "fileKind") ? AttributedString(textOf(slots.kindScript)) : AttributedString();

    const std::optional<ScriptSlots::LibraryDetails> library = slots.libraryDetails(s.currentPlayer);
    if (!library) {
        qCInfo(lcNowPlaying, "nullifying strings");
        t.releaseYearString = t.dateAddedString = t.lastPlayedString = t.playCountString = AttributedString();
        return;
    }
    const ScriptSlot *year = library->year, *added = library->added, *played = library->played,
                     *count = library->count;
    t.releaseYearString = isOn(switches, "releaseYear") ? yearLine(*year) : AttributedString();
    t.dateAddedString = isOn(switches, "dateAdded") ? dateLine(QStringLiteral("Added: %1"), *added) : AttributedString();
    t.lastPlayedString = isOn(switches, "lastPlayed")
        ? dateLine(QStringLiteral("Last played: %1"), *played) : AttributedString();
    t.playCountString = isOn(switches, "playCount")
        ? formatted(QStringLiteral("Play count: %1"), textOf(*count)) : AttributedString();
}

QList<AttributedString> ProgressDetails::detailLines() const
{
    QList<AttributedString> lines;
    if (m.state.nothingPlays())
        return lines;
    const TrackRecord &t = m.state.track;
    const bool hasYear = !t.releaseYearString.isEmpty();
    if (hasYear)
        lines.append(t.releaseYearString);
    const AttributedString *technical[] = {&t.bitrateString, &t.samplerateString, &t.bitdepthString,
                                           &t.dateAddedString, &t.lastPlayedString, &t.playCountString};
    bool anyTechnical = !t.kindString.isEmpty();
    for (const AttributedString *detail : technical)
        anyTechnical = anyTechnical || !detail->isEmpty();
    // The blank line before the technical block; the kind follows the year
    // after it, but takes its place when there is no year.
    if (anyTechnical && (hasYear || t.kindString.isEmpty()))
        lines.append(AttributedString());
    if (!t.kindString.isEmpty())
        lines.append(t.kindString);
    for (const AttributedString *detail : technical) {
        if (!detail->isEmpty())
            lines.append(*detail);
    }
    return lines;
}
