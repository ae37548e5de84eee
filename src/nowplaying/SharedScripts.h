#pragma once

#include "model/PlayerTable.h"

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

// PlayerTable::visitingOrder as stored numbers, for callers that count
// players that way.
inline constexpr std::array<int, PlayerTable::visitingOrder.size()> visitingOrder = [] {
    std::array<int, PlayerTable::visitingOrder.size()> numbers{};
    for (std::size_t i = 0; i < numbers.size(); ++i)
        numbers[i] = static_cast<int>(PlayerTable::visitingOrder[i]);
    return numbers;
}();

} // namespace SharedScripts
