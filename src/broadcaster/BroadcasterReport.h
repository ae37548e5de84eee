#pragma once

#include <QHash>
#include <QString>
#include <optional>

// What a broadcaster last reported, as the client keeps it between polls.
// A fresh report is all empty; clear() makes it fresh again, and every path
// that forgets a report goes through it, keeping only what that path names.
// Value type; main thread (where the client keeps it).
struct BroadcasterReport
{
    QString track, artist, album, spotifyID, bitrate, bitdepth, samplerate, kind, player;
    static constexpr qint64 maxSeconds = 1000000000; // longer times read as this
    qint64 bookmark = 0, duration = 0, rating = 0, popularity = 0;
    bool loved = false, disliked = false;
    // When the bookmark arrived, in monotonic milliseconds; none while the
    // report holds no bookmark of its own.
    std::optional<qint64> bookmarkReceivedMs;

    bool operator==(const BroadcasterReport &) const = default;

    // Every field as in a fresh report.
    void clear();

    // Replaces the report with one answer's fields. A key that is missing,
    // or a text key with an empty value, leaves its field fresh, except
    // "spotifyid", "player" and "popularity", which keep the value last
    // reported until an answer carries them.
    void take(const QHash<QString, QString> &fields, qint64 nowMs);

    // The broadcaster was lost: the track goes, the player's name and the
    // popularity stay.
    void forgetTrack();

    // Whole seconds played: the bookmark plus the seconds since it arrived,
    // as long as that stays below the duration; else the bookmark itself.
    qint64 estimatedBookmark(qint64 nowMs) const;
};
