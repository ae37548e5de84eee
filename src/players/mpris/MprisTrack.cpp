#include "players/mpris/MprisTrack.h"

#include "platform/DBusValue.h"

#include <QDBusObjectPath>
#include <QVariantList>
#include <cmath>
#include <limits>

namespace {

QString textOf(const QVariant &value, int cap = MprisTrack::maxTextLength)
{
    const QVariant plain = DBusValue::plainValue(value);
    QString text;
    switch (plain.typeId()) {
    case QMetaType::QString:
        text = plain.toString();
        break;
    case QMetaType::QStringList:
        text = plain.toStringList().join(QStringLiteral(", "));
        break;
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant &item : plain.toList()) {
            if (item.typeId() == QMetaType::QString)
                parts << item.toString();
        }
        text = parts.join(QStringLiteral(", "));
        break;
    }
    default:
        return QString();
    }
    return text.left(cap);
}

QStringList listOf(const QVariant &value)
{
    const QVariant plain = DBusValue::plainValue(value);
    QStringList items;
    if (plain.typeId() == QMetaType::QString) {
        items << plain.toString();
    } else if (plain.typeId() == QMetaType::QStringList) {
        items = plain.toStringList();
    } else if (plain.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : plain.toList()) {
            if (item.typeId() == QMetaType::QString)
                items << item.toString();
        }
    }
    QStringList kept;
    for (const QString &item : std::as_const(items)) {
        if (!item.isEmpty())
            kept << item.left(MprisTrack::maxTextLength);
        if (kept.size() >= 64)
            break;
    }
    return kept;
}

// Any number type, signed or unsigned, of any width, or a double; text and
// everything else read as no number.
std::optional<double> numberOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
        return double(value.toLongLong());
    case QMetaType::ULongLong:
        return double(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<qint64> wholeOf(const QVariant &value)
{
    const auto number = numberOf(value);
    if (!number || *number < 0 || *number > double(std::numeric_limits<qint64>::max() / 2))
        return std::nullopt;
    return qint64(*number);
}

std::optional<QDateTime> dateOf(const QVariant &value)
{
    const QString text = textOf(value, 64);
    if (text.isEmpty())
        return std::nullopt;
    QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!date.isValid())
        date = QDateTime::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<int> yearOf(const QVariant &value)
{
    if (const auto date = dateOf(value))
        return date->date().year();
    // Some players send only the year, as text or a number.
    const QString text = textOf(value, 64);
    if (text.size() >= 4) {
        bool ok = false;
        const int year = text.left(4).toInt(&ok);
        if (ok && year > 0)
            return year;
    }
    if (const auto number = wholeOf(value); number && *number > 0 && *number < 10000)
        return int(*number);
    return std::nullopt;
}

} // namespace

MprisTrack MprisTrack::fromMetadata(const QVariantMap &metadata)
{
    MprisTrack track;
    const QVariant id = metadata.value(QStringLiteral("mpris:trackid"));
    if (id.canConvert<QDBusObjectPath>() && id.typeId() == qMetaTypeId<QDBusObjectPath>())
        track.trackId = id.value<QDBusObjectPath>().path();
    else
        track.trackId = textOf(id, 1024);
    track.title = textOf(metadata.value(QStringLiteral("xesam:title")));
    track.artists = listOf(metadata.value(QStringLiteral("xesam:artist")));
    track.album = textOf(metadata.value(QStringLiteral("xesam:album")));
    if (const auto length = numberOf(metadata.value(QStringLiteral("mpris:length")));
        length && *length > 0 && *length < 1e15)
        track.lengthUs = qint64(*length);
    track.url = textOf(metadata.value(QStringLiteral("xesam:url")));
    track.artUrl = textOf(metadata.value(QStringLiteral("mpris:artUrl")), 16 * 1024 * 1024);
    if (const auto rating = numberOf(metadata.value(QStringLiteral("xesam:userRating"))); rating && *rating >= 0)
        track.userRating = rating;
    if (const auto rating = numberOf(metadata.value(QStringLiteral("xesam:autoRating"))); rating && *rating >= 0)
        track.autoRating = rating;
    track.lyrics = textOf(metadata.value(QStringLiteral("xesam:asText")), maxLyricsLength);
    track.useCount = wholeOf(metadata.value(QStringLiteral("xesam:useCount")));
    track.lastUsed = dateOf(metadata.value(QStringLiteral("xesam:lastUsed")));
    track.year = yearOf(metadata.value(QStringLiteral("xesam:contentCreated")));
    return track;
}

bool MprisTrack::isEmpty() const
{
    // "/org/mpris/MediaPlayer2/TrackList/NoTrack" is the MPRIS way of saying none.
    const bool noId = trackId.isEmpty() || trackId.endsWith(QLatin1String("/NoTrack"));
    return noId && title.isEmpty() && artists.isEmpty() && album.isEmpty();
}

bool MprisTrack::sameTrackAs(const MprisTrack &other) const
{
    return trackId == other.trackId && title == other.title && artists == other.artists
        && album == other.album;
}
