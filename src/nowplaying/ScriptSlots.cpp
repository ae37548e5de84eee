#include "nowplaying/ScriptSlots.h"

ScriptSlot *ScriptSlots::statusSlot(int player)
{
    switch (player) {
    case 1: return &spotifyStatusScript;
    case 2: return &itunesStatusScript;
    case 3: return &snowtapeStatusScript;
    case 4: return &ecouteStatusScript;
    case 5: return &rdioStatusScript;
    case 6: return &radiumStatusScript;
    case 7: return &swinsianStatusScript;
    case 9: return &hermesStatusScript;
    case 10: return &airfoilStatusScript;
    case 11: return &audirvanaStatusScript;
    case 12: return &musicStatusScript;
    default: return nullptr; // none, the broadcaster, or not a player
    }
}

ScriptResult run(const ScriptSlot &slot)
{
    if (!slot)
        return {};
    return slot->execute();
}
