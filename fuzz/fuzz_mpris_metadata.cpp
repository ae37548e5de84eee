// A player's "Metadata" as it arrives over the bus: a map whose values are
// any D-Bus type a player may use, nested in variants, lists and maps. The
// input describes the map: per entry a key, then a value in a small
// bytecode (see value()).

#include "FuzzSupport.h"
#include "platform/DBusValue.h"
#include "players/mpris/MprisTrack.h"

#include <QDBusObjectPath>
#include <QDBusSignature>
#include <QDBusVariant>
#include <QDateTime>

COVERLUME_FUZZ_APPLICATION

namespace {

const char *const knownKeys[] = {
    "mpris:trackid", "xesam:title", "xesam:artist", "xesam:album", "mpris:length", "mpris:artUrl",
    "xesam:url", "xesam:userRating", "xesam:autoRating", "xesam:asText", "xesam:useCount",
    "xesam:lastUsed", "xesam:contentCreated", "year", "xesam:albumArtist", "xesam:genre"};

QVariant value(FuzzSupport::Reader &in, int depth)
{
    const uint8_t kind = in.byte();
    switch (depth >= 70 ? kind % 12 : kind % 16) {
    case 0: return QString::fromUtf8(in.chunk());
    case 1: return QStringList{QString::fromUtf8(in.chunk()), QString::fromUtf8(in.chunk())};
    case 2: return qint64(in.integer(8));
    case 3: return quint64(in.integer(8));
    case 4: return qint32(in.integer(4));
    case 5: return quint32(in.integer(4));
    case 6: { const quint64 bits = in.integer(8); double d; std::memcpy(&d, &bits, 8); return d; }
    case 7: return bool(in.byte() & 1);
    case 8: return QVariant::fromValue(QDBusObjectPath(QString::fromUtf8(in.chunk())));
    case 9: return QVariant::fromValue(QDBusSignature(QString::fromUtf8(in.chunk())));
    case 10: return in.chunk();
    case 11: return QVariant();
    case 12: return QVariant::fromValue(QDBusVariant(value(in, depth + 1)));
    case 13: case 14: {
        QVariantList list;
        for (int n = in.byte() % 8; n > 0 && !in.atEnd(); --n)
            list << value(in, depth + 1);
        return list;
    }
    default: {
        QVariantMap map;
        for (int n = in.byte() % 8; n > 0 && !in.atEnd(); --n)
            map.insert(QString::fromUtf8(in.chunk()), value(in, depth + 1));
        return map;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Reader in(data, size);
    QVariantMap metadata;
    while (!in.atEnd()) {
        const uint8_t keyChoice = in.byte();
        const QString key = keyChoice < std::size(knownKeys) ? QString::fromLatin1(knownKeys[keyChoice])
                                                              : QString::fromUtf8(in.chunk());
        metadata.insert(key, value(in, 0));
    }
    bool withinBudget = true;
    const QVariantMap plain = DBusValue::plainMap(metadata, 64 * 1024, &withinBudget);
    FuzzSupport::require(withinBudget || plain.isEmpty(), "an over-budget map is empty");
    for (const QVariantMap *map : std::initializer_list<const QVariantMap *>{&metadata, &plain}) {
        const MprisTrack track = MprisTrack::fromMetadata(*map);
        FuzzSupport::require(track.title.size() <= MprisTrack::maxTextLength
                                 && track.album.size() <= MprisTrack::maxTextLength
                                 && track.lyrics.size() <= MprisTrack::maxLyricsLength,
                             "texts within their caps");
        FuzzSupport::require(track.lengthUs >= 0, "no negative length");
        (void)track.sameTrackAs(MprisTrack());
    }
    return 0;
}
