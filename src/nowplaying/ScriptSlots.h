#pragma once

#include "model/PlayerId.h"
#include "platform/ScriptService.h"

#include <memory>
#include <optional>

// One compiled script per slot, or nothing. An empty slot gives no result
// without running anything (see run()).
using ScriptSlot = std::unique_ptr<Script>;

// Every script slot the display keeps for the players. The status slots and
// the slots built "if empty" live as long as the view; the track-data slots
// are replaced wholesale whenever another player's set is built; the
// transport slots belong to the last player they were built for. The iTunes
// and Music sets share the slots whose names begin with "iTunes".
struct ScriptSlots
{
    // Playing state, one per player, kept across player switches.
    ScriptSlot spotifyStatusScript, itunesStatusScript, musicStatusScript, snowtapeStatusScript,
        ecouteStatusScript, rdioStatusScript, radiumStatusScript, swinsianStatusScript,
        hermesStatusScript, airfoilStatusScript, audirvanaStatusScript;

    // Track data of the current player.
    ScriptSlot trackScript, artistScript, albumScript, artScript;
    ScriptSlot durationScript, bookmarkScript;

    // Transport.
    ScriptSlot PPScript, prevScript, nextScript;
    ScriptSlot snowtapePauseScript, rdioPauseScript, hermesPauseScript;

    // Extended details.
    ScriptSlot bitRateScript, bitDepthScript, sampleRateScript, kindScript;

    // Ratings and marks.
    ScriptSlot iTunesRatingScript, ecouteRatingScript, swinsianRatingScript, hermesRatingScript;
    ScriptSlot iTunesLovedScript, iTunesDislikedScript;
    ScriptSlot iTunesSetRating0Script, iTunesSetRating1Script, iTunesSetRating2Script,
        iTunesSetRating3Script, iTunesSetRating4Script, iTunesSetRating5Script;
    ScriptSlot iTunesSetLovedScript, iTunesResetLovedScript, iTunesSetDislikedScript,
        iTunesResetDislikedScript;
    ScriptSlot hermesThumbsUpScript, hermesThumbsDownScript;

    // Radio, lyrics and more artwork.
    ScriptSlot iTunesRadioScript, iTunesLyricsScript;
    ScriptSlot iTunesArtScript2, iTunesArtScript3, iTunesArtScript4, iTunesArtScript5,
        iTunesArtScript6;
    ScriptSlot iTunesRandomArtworkScript, musicRandomArtworkScript;

    // Library details.
    ScriptSlot iTunesReleaseDateScript, iTunesDateAddedScript, iTunesLastPlayedScript,
        iTunesPlayCountScript;
    ScriptSlot swinsianReleaseDateScript, swinsianDateAddedScript, swinsianLastPlayedScript,
        swinsianPlayCountScript;

    // Spotify's own.
    ScriptSlot spotifyPopularityScript, spotifyURIScript, spotifyArtURLScript,
        SpotifyPlayCountScript;

    // The slots of one player's own questions; null for none, the
    // broadcaster, unknown ids and players that have no such slot.
    ScriptSlot *statusSlot(PlayerId player);
    // The rating (Spotify: popularity) the track-data reading asks for.
    ScriptSlot *ratingSlot(PlayerId player);
    // A random cover from the player's library (iTunes, Music).
    ScriptSlot *randomArtworkSlot(PlayerId player);

    // Release year, date added, last played and play count.
    struct LibraryDetails
    {
        ScriptSlot *year, *added, *played, *count;
    };
    // Only iTunes, Music and Swinsian tell them.
    std::optional<LibraryDetails> libraryDetails(PlayerId player);

};

// Runs a slot: an empty slot gives no result and runs nothing.
ScriptResult run(const ScriptSlot &slot);
