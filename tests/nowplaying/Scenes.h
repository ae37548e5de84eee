#pragma once

#include <QByteArray>
#include <initializer_list>

// Scenarios for the simulated players, written short. A track is the JSON
// members of one track ("\"name\": \"A\", \"duration\": 300"); a player
// is its catalogue name, its state, its tracks and any other members.
namespace Scene {

inline QByteArray joined(std::initializer_list<QByteArray> parts)
{
    QByteArray out;
    for (const QByteArray &part : parts)
        out += (out.isEmpty() ? "" : ", ") + part;
    return out;
}

// A player with its tracks (none given: one named "Track"); `more` holds
// other members, e.g. "\"position\": 30".
inline QByteArray player(const char *name, const char *state, std::initializer_list<QByteArray> tracks,
                         const QByteArray &more = {})
{
    QByteArray tracksJson = tracks.size() ? QByteArray() : QByteArray(R"({"name": "Track"})");
    for (const QByteArray &track : tracks)
        tracksJson += (tracksJson.isEmpty() ? "{" : ", {") + track + "}";
    return QByteArray(R"({"name": ")") + name + R"(", "state": ")" + state + "\""
        + (more.isEmpty() ? QByteArray() : ", " + more) + R"(, "tracks": [)" + tracksJson + "]}";
}

// An event for a player at a frame, e.g. at(10, "iTunes", "pause").
inline QByteArray at(int frame, const char *name, const char *action, const QByteArray &more = {})
{
    return R"({"frame": )" + QByteArray::number(frame) + R"(, "player": ")" + name + R"(", "action": ")" + action
        + "\"" + (more.isEmpty() ? QByteArray() : ", " + more) + "}";
}

// A scenario of players, events and, when given, the other running processes.
inline QByteArray of(std::initializer_list<QByteArray> players, std::initializer_list<QByteArray> events = {},
                     const char *processes = nullptr)
{
    QByteArray json = R"({"players": [)" + joined(players) + "]";
    if (events.size())
        json += R"(, "events": [)" + joined(events) + "]";
    if (processes)
        json += QByteArray(R"(, "processes": )") + processes;
    return json + "}";
}

// One player with one track.
inline QByteArray one(const char *name, const char *state, const QByteArray &track, const QByteArray &more = {})
{
    return of({player(name, state, {track}, more)});
}

} // namespace Scene
