#include "broadcaster/BroadcasterReport.h"

#include "broadcaster/BroadcastText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

} // namespace

void BroadcasterReport::clear()
{
    *this = BroadcasterReport();
}

void BroadcasterReport::take(const QHash<QString, QString> &fields, qint64 nowMs)
{
    const QString keptSpotifyID = spotifyID, keptPlayer = player;
    const qint64 keptPopularity = popularity;
    clear();
    spotifyID = keptSpotifyID;
    player = keptPlayer;
    popularity = keptPopularity;

    auto text = [&fields](const char *key, QString &field) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found == fields.constEnd())
            return;
        // Control characters (NUL among them) have no place on the display.
        QString kept;
        kept.reserve(found->size());
        for (const QChar c : *found) {
            if (c.category() != QChar::Other_Control)
                kept += c;
        }
        if (!kept.isEmpty())
            field = kept;
    };
    // Seconds; the progress bar takes 0 up to maxSeconds.
    auto number = [&fields](const char *key, qint64 &field, bool isTime = false) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found == fields.constEnd())
            return false;
        field = BroadcastText::integerValue(*found);
        if (isTime)
            field = std::clamp<qint64>(field, 0, maxSeconds);
        return true;
    };
    auto flag = [&fields](const char *key, bool &field) {
        const auto found = fields.constFind(QLatin1String(key));
        if (found != fields.constEnd())
            field = BroadcastText::booleanValue(*found);
    };

    text("track", track);
    text("artist", artist);
    text("album", album);
    text("spotifyid", spotifyID);
    text("bitrate", bitrate);
    text("bitdepth", bitdepth);
    text("samplerate", samplerate);
    text("kind", kind);
    text("player", player);
    if (number("bookmark", bookmark, true))
        bookmarkReceivedMs = nowMs;
    number("duration", duration, true);
    number("rating", rating);
    number("popularity", popularity);
    flag("loved", loved);
    flag("disliked", disliked);
}

void BroadcasterReport::forgetTrack()
{
    const QString keptPlayer = player;
    const qint64 keptPopularity = popularity;
    clear();
    player = keptPlayer;
    popularity = keptPopularity;
}

qint64 BroadcasterReport::estimatedBookmark(qint64 nowMs) const
{
    if (!bookmarkReceivedMs)
        return bookmark;
    // Whole seconds since the report, rounded in single precision as the
    // broadcaster protocol has always been read; never negative, and a
    // clock far off cannot overflow the sum.
    const qint64 elapsedMs = std::max<qint64>(0, nowMs - *bookmarkReceivedMs);
    const float seconds = std::round(float(elapsedMs) / 1000.0f);
    const qint64 elapsed = seconds >= float(std::numeric_limits<qint32>::max())
        ? std::numeric_limits<qint32>::max()
        : qint64(seconds);
    const qint64 estimate = saturatingAdd(bookmark, elapsed);
    return estimate < duration ? estimate : bookmark;
}
