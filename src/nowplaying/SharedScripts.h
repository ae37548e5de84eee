#pragma once

#include <QString>

// The scripts every player shares. The display and the companion
// broadcaster ask the players the same way (and visit them in
// PlayerTable::visitingOrder).
namespace SharedScripts {

// The names of the running processes ("System Events").
inline QString processList()
{
    return QStringLiteral("tell application \"System Events\"\rname of every process\rend tell");
}

// The system output volume up by 10 (at most 100) and down by 10 (at least 1).
inline QString volumeUp()
{
    return QStringLiteral("set curVolume to output volume of (get volume settings)\rif curVolume < 90 then\r"
                          "set newVolume to curVolume + 10\relse\rset newVolume to 100\rend if\r"
                          "set volume output volume newVolume");
}

inline QString volumeDown()
{
    return QStringLiteral("set curVolume to output volume of (get volume settings)\rif curVolume > 10 then\r"
                          "set newVolume to curVolume - 10\relse\rset newVolume to 1\rend if\r"
                          "set volume output volume newVolume");
}

} // namespace SharedScripts
