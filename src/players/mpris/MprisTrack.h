#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

// The track a player announces in its "Metadata" property, read as meant
// whatever types the player used: `xesam:artist` as a list or a plain
// string, `mpris:trackid` as an object path or a string, `mpris:length` as
// any integer width or a double. A field the player left out, or sent as
// something unreadable, stays empty (null text, no value). Value type;
// any thread.
struct MprisTrack
{
    // Texts longer than this are cut: a player may send anything.
    static constexpr int maxTextLength = 64 * 1024;
    static constexpr int maxLyricsLength = 1024 * 1024;

    QString trackId;
    QString title;
    QStringList artists;
    QString album;
    qint64 lengthUs = 0; // 0: unknown
    QString artUrl;
    QString url; // xesam:url, the file or address being played
    std::optional<double> userRating;  // as sent: 0–1, or 0–5 from some players
    std::optional<double> autoRating;  // 0–1
    QString lyrics;
    std::optional<qint64> useCount;
    std::optional<QDateTime> lastUsed;
    std::optional<int> year;

    static MprisTrack fromMetadata(const QVariantMap &metadata);

    // Some track is there at all (a stopped player without one is not
    // counted as running).
    bool isEmpty() const;
    QString artistText() const { return artists.join(QStringLiteral(", ")); }
    bool isAdvert() const { return trackId.startsWith(QLatin1String("spotify:ad:")); }

    // The fields whose change makes a new track: players re-send the same
    // metadata, and a new track id alone may come with a new rating.
    bool sameTrackAs(const MprisTrack &other) const;
    bool operator==(const MprisTrack &other) const = default;
};
