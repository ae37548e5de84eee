#pragma once

#include <QString>
#include <array>

// The scripts every player shares, and the order in which players are
// visited when several run. The display and the companion broadcaster ask
// the players the same way.
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

// Earlier players win when several play at once.
inline constexpr std::array<int, 11> visitingOrder = {5, 7, 4, 3, 6, 9, 10, 11, 1, 2, 12};

} // namespace SharedScripts
