#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// Which catalogue name an MPRIS player stands for, and which players are
// kept out. Built from the settings "playerMapping" (a dictionary from a
// catalogue name to a bus-name suffix or an Identity) and "ignoredPlayers"
// (a list of suffixes or Identities); anything else in those settings is
// skipped. Patterns match case-insensitively and whole: a suffix matches at
// an element boundary of the bus name, so "chromium" covers
// "chromium.instance575" but "spotify" is not "spotifyd". Without a
// mapping, "spotify" stands for "Spotify" and every other player for
// "Music". Value type; any thread.
class PlayerMapping
{
public:
    static constexpr auto busPrefix = "org.mpris.MediaPlayer2.";

    PlayerMapping() = default;
    PlayerMapping(const QVariant &playerMapping, const QVariant &ignoredPlayers);

    // The part of a bus name after "org.mpris.MediaPlayer2."; empty for a
    // name that is not an MPRIS player.
    static QString suffixOf(const QString &busName);
    // Whether the pattern names this player (by suffix or by Identity).
    static bool matches(const QString &pattern, const QString &busName, const QString &identity);
    // Proxies that mirror another player, which would show it twice.
    static bool isProxy(const QString &busName);

    bool isIgnored(const QString &busName, const QString &identity) const;
    // The catalogue name the player stands for; empty when it is ignored,
    // a proxy or not an MPRIS name at all.
    QString nameFor(const QString &busName, const QString &identity) const;

private:
    QList<QPair<QString, QString>> m_mapping; // catalogue name, pattern
    QStringList m_ignored;
};
