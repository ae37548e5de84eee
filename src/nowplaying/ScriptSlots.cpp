#include "nowplaying/ScriptSlots.h"

namespace {

using Slot = ScriptSlot ScriptSlots::*;

// The slots each player's own questions go to; null: it has none.
struct PlayerSlots
{
    PlayerId player;
    Slot status;
    Slot rating;
    Slot randomArtwork;
    Slot year, added, played, count;
};

using S = ScriptSlots;

// clang-format off
constexpr PlayerSlots kPlayerSlots[] = {
    {PlayerId::Spotify, &S::spotifyStatusScript, &S::spotifyPopularityScript, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::ITunes, &S::itunesStatusScript, &S::iTunesRatingScript, &S::iTunesRandomArtworkScript,
     &S::iTunesReleaseDateScript, &S::iTunesDateAddedScript, &S::iTunesLastPlayedScript, &S::iTunesPlayCountScript},
    {PlayerId::Snowtape, &S::snowtapeStatusScript, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::Ecoute, &S::ecouteStatusScript, &S::ecouteRatingScript, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::Rdio, &S::rdioStatusScript, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::Radium, &S::radiumStatusScript, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::Swinsian, &S::swinsianStatusScript, &S::swinsianRatingScript, nullptr,
     &S::swinsianReleaseDateScript, &S::swinsianDateAddedScript, &S::swinsianLastPlayedScript, &S::swinsianPlayCountScript},
    {PlayerId::Hermes, &S::hermesStatusScript, &S::hermesRatingScript, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::AirfoilSatellite, &S::airfoilStatusScript, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {PlayerId::Audirvana, &S::audirvanaStatusScript, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    // Music asks through the iTunes slots, under its own name.
    {PlayerId::Music, &S::musicStatusScript, &S::iTunesRatingScript, &S::musicRandomArtworkScript,
     &S::iTunesReleaseDateScript, &S::iTunesDateAddedScript, &S::iTunesLastPlayedScript, &S::iTunesPlayCountScript},
};
// clang-format on

const PlayerSlots *rowOf(PlayerId player)
{
    for (const PlayerSlots &row : kPlayerSlots) {
        if (row.player == player)
            return &row;
    }
    return nullptr;
}

ScriptSlot *slotOf(ScriptSlots &slots, PlayerId player, Slot PlayerSlots::*which)
{
    const PlayerSlots *row = rowOf(player);
    return row && row->*which ? &(slots.*(row->*which)) : nullptr;
}

} // namespace

ScriptSlot *ScriptSlots::statusSlot(PlayerId player)
{
    return slotOf(*this, player, &PlayerSlots::status);
}

ScriptSlot *ScriptSlots::ratingSlot(PlayerId player)
{
    return slotOf(*this, player, &PlayerSlots::rating);
}

ScriptSlot *ScriptSlots::randomArtworkSlot(PlayerId player)
{
    return slotOf(*this, player, &PlayerSlots::randomArtwork);
}

std::optional<ScriptSlots::LibraryDetails> ScriptSlots::libraryDetails(PlayerId player)
{
    const PlayerSlots *row = rowOf(player);
    if (!row || !row->year)
        return std::nullopt;
    return LibraryDetails{&(this->*row->year), &(this->*row->added), &(this->*row->played), &(this->*row->count)};
}

ScriptResult run(const ScriptSlot &slot)
{
    if (!slot)
        return {};
    return slot->execute();
}
